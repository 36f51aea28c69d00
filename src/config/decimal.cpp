#include "config/decimal.h"

int IsDecimalSpace(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

static int IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int32_t DecimalToInt32(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsDecimalSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';

  // The magnitude is gathered in 64 bits and stops growing once it is past
  // the largest magnitude either sign can take, so it can never overflow.
  const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : INT32_MAX;
  int64_t magnitude = 0;
  for (; IsDigit(*p); ++p) {
    if (magnitude <= limit) magnitude = magnitude * 10 + (*p - '0');
  }
  if (magnitude > limit) magnitude = limit;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

uint64_t DecimalToUInt64(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsDecimalSpace(*p)) ++p;
  uint64_t value = 0;
  bool saturated = false;
  for (; IsDigit(*p); ++p) {
    const unsigned digit = *p - '0';
    if (saturated || value > (UINT64_MAX - digit) / 10) {
      saturated = true;
      continue;
    }
    value = value * 10 + digit;
  }
  return saturated ? UINT64_MAX : value;
}
