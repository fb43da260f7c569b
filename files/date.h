// Date record, seconds since 1970, labels and the display time zone.
#pragma once
#include <cstdint>

struct DateRec {
  std::int32_t year;
  std::int32_t month;
  std::int32_t day;
  std::int32_t julian;
  std::int32_t wday;
  std::int32_t hour;
  std::int32_t minute;
  std::int32_t second;
};

void DATE_init(DateRec* date);
int DATE_set_TZ(const char* text);
// Current UTC time as "YY MON DD  HH:MM:SSZ" into text (at least 32 bytes).
char* DATE_get_current_str(char* text);
