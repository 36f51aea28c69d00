#include "fa2/file_time.h"

#include <cstdio>

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  constexpr int64_t kEpochSeconds = kFileTimeUnixEpoch / kFileTimeUnitsPerSecond;
  if (seconds < -kEpochSeconds) return 0;
  const uint64_t since1601 = static_cast<uint64_t>(seconds + kEpochSeconds);
  // Times past the year 60056 do not fit; they are clamped to the last one.
  if (since1601 > (UINT64_MAX - 9999999) / kFileTimeUnitsPerSecond) return UINT64_MAX;
  return since1601 * kFileTimeUnitsPerSecond + nanoseconds / 100;
}

void FileTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds) {
  const int64_t since1601 = static_cast<int64_t>(fileTime / kFileTimeUnitsPerSecond);
  *seconds = since1601 - static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimeUnitsPerSecond);
  *nanoseconds = static_cast<uint32_t>(fileTime % kFileTimeUnitsPerSecond) * 100;
}

std::string FormatFileTimeUtc(uint64_t fileTime) {
  const uint64_t secondsSince1601 = fileTime / kFileTimeUnitsPerSecond;
  int64_t days = static_cast<int64_t>(secondsSince1601 / 86400);
  const unsigned secondOfDay = static_cast<unsigned>(secondsSince1601 % 86400);

  // Days since 1601-01-01 to a civil date. 1601 starts a 400-year cycle of
  // the Gregorian calendar, so the cycle arithmetic needs no offsets; the
  // year is counted from March so that the leap day falls at its end.
  days += 306;  // 1600-03-01 to 1601-01-01
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days % 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  const int64_t year = 1600 + era * 400 + yearOfEra + (month <= 2 ? 1 : 0);

  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02u:%02u:%02uZ",
                static_cast<long long>(year), month, day, secondOfDay / 3600,
                secondOfDay / 60 % 60, secondOfDay % 60);
  return text;
}
