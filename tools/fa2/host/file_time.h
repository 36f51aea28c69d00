// Conversions between a FILETIME (100-nanosecond units since 1 January 1601,
// UTC), as the archive records it, and the host's clock.
#ifndef FA2_FILE_TIME_H
#define FA2_FILE_TIME_H

#include <cstdint>
#include <string>

// 100-nanosecond units from 1601-01-01 to 1970-01-01.
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ull;

// Seconds and nanoseconds since 1970 (negative before it) as a FILETIME.
// Times before 1601 give 0.
uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);

// The reverse: seconds (floor) and the nanoseconds within that second.
void FileTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds);

// The time as UTC ISO-8601 with seconds, e.g. 2024-03-01T12:34:56Z. Every
// 64-bit value has a form (the calendar is proleptic Gregorian, the year may
// have five digits).
std::string FormatFileTimeUtc(uint64_t fileTime);

// Reads a UTC time as FormatFileTimeUtc writes it (2024-03-01T12:34:56Z; the
// Z may be left out, and so may the time of day, which is then midnight), or
// as @SECONDS since 1970. Years 1601 to 9999. Returns 0 for any other text.
int ParseFileTimeUtc(const std::string& text, uint64_t* fileTime);

#endif
