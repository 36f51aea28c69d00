#include "fa2/host/file_time.h"

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

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int ParseFileTimeUtc(const std::string& text, uint64_t* fileTime) {
  if (!text.empty() && text[0] == '@') {
    long long seconds = 0;
    int used = 0;
    if (std::sscanf(text.c_str() + 1, "%lld%n", &seconds, &used) != 1 ||
        static_cast<size_t>(used) + 1 != text.size())
      return 0;
    *fileTime = FileTimeFromUnix(seconds, 0);
    return *fileTime != 0;
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  const char* p = text.c_str();
  if (std::sscanf(p, "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10) return 0;
  std::string rest = text.substr(10);
  if (!rest.empty() && rest != "Z") {
    used = 0;
    if (std::sscanf(rest.c_str(), "T%2d:%2d:%2d%n", &hour, &minute, &second, &used) != 3 ||
        used != 9)
      return 0;
    rest = rest.substr(9);
    if (!rest.empty() && rest != "Z") return 0;
  }
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      hour > 23 || minute > 59 || second > 59)
    return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return 0;
  const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  *fileTime = FileTimeFromUnix(seconds, 0);
  return 1;
}
