// Decimal numbers in INI values.
//
// Every number that the updater takes from SETUP.INI or UPDATE.INI is written
// in decimal, and installers have always been lenient about what follows the
// digits: "12abc" reads as 12 and a value without digits reads as 0. These
// conversions never fail; they saturate instead of wrapping, so a hostile or
// mistyped value can never turn into a small or negative count.
#ifndef CONFIG_DECIMAL_H
#define CONFIG_DECIMAL_H

#include <cstdint>

// White space as the C library knows it: tab, line feed, vertical tab, form
// feed, carriage return and space.
int IsDecimalSpace(unsigned char c);

// Skips leading white space, takes one optional '+' or '-', then decimal
// digits up to the first other byte. No digits give 0. A value beyond the
// signed 32-bit range gives 2147483647 or -2147483648.
int32_t DecimalToInt32(const char* text);

// Skips leading white space, then takes decimal digits up to the first other
// byte; there is no sign, so "-5" gives 0. A value beyond the unsigned 64-bit
// range gives the largest 64-bit value.
uint64_t DecimalToUInt64(const char* text);

#endif
