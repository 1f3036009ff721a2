// The program's account of itself: the -v banner and the --version text,
// both from the edition facts compiled in with the tables.
#include <cstring>
#include <ctime>

#include "pluvar.h"

#ifndef PLUVAR_VERSION
#error "PLUVAR_VERSION must name the program version (set by CMakeLists.txt)"
#endif

namespace {

uint32_t year_of(uint32_t ymd) { return ymd / 10000; }
uint32_t month_of(uint32_t ymd) { return ymd / 100 % 100; }
uint32_t day_of(uint32_t ymd) { return ymd % 100; }

// Writes `value` as exactly `width` decimal digits, the lowest ones kept.
void put_digits(char *at, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; i--) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// "MM/DD/YY", the banner's date form (9 bytes with the NUL).
void us_short_date(char *text, uint32_t ymd) {
  put_digits(text, month_of(ymd), 2);
  text[2] = '/';
  put_digits(text + 3, day_of(ymd), 2);
  text[5] = '/';
  put_digits(text + 6, year_of(ymd) % 100, 2);
  text[8] = '\0';
}

// "DD.MM.YYYY", the Bundesbank's date form (11 bytes with the NUL).
constexpr size_t kGermanDateSize = 11;
void german_date(char *text, uint32_t ymd) {
  put_digits(text, day_of(ymd), 2);
  text[2] = '.';
  put_digits(text + 3, month_of(ymd), 2);
  text[5] = '.';
  put_digits(text + 6, year_of(ymd), 4);
  text[10] = '\0';
}

// Decimal text of a count; 11 bytes hold any uint32_t.
constexpr size_t kNumberSize = 11;
void decimal(char *text, uint32_t value) {
  char rev[kNumberSize];
  size_t n = 0;
  do {
    rev[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < sizeof rev - 1);
  for (size_t i = 0; i < n; i++) text[i] = rev[n - 1 - i];
  text[n] = '\0';
}

void put_line(Sink &out, const char *const *parts, size_t n) {
  for (size_t i = 0; i < n; i++) sink_puts(out, parts[i]);
  sink_puts(out, "\n");
}

void write_day_count(Sink &out, int32_t days) {
  char number[kNumberSize];
  decimal(number, static_cast<uint32_t>(days));
  sink_puts(out, number);
  sink_puts(out, days == 1 ? " day" : " days");
}

}  // namespace

bool valid_ymd(uint32_t ymd) {
  static const uint8_t kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  uint32_t y = year_of(ymd), m = month_of(ymd), d = day_of(ymd);
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m != 2 || d <= 28 || leap;
}

// Days since 1970-01-01 of a proleptic Gregorian date (the civil-from-days
// inverse): years start in March so the leap day is the year's last day.
int32_t day_number(uint32_t ymd) {
  int32_t y = static_cast<int32_t>(year_of(ymd));
  int32_t m = static_cast<int32_t>(month_of(ymd));
  int32_t d = static_cast<int32_t>(day_of(ymd));
  y -= m <= 2;
  int32_t era = (y >= 0 ? y : y - 399) / 400;
  int32_t yoe = y - era * 400;
  int32_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

uint32_t today_ymd() {
  DayClock clock{-1, 0};
  return today_ymd(clock);
}

uint32_t today_ymd(DayClock &clock) {
  time_t now = time(nullptr);
  if (now == static_cast<time_t>(-1)) return 0;
  if (static_cast<int64_t>(now) == clock.second) return clock.day;
  struct tm local;
  uint32_t day = 0;
  if (localtime_r(&now, &local) != nullptr)
    day = static_cast<uint32_t>((local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 +
                                local.tm_mday);
  clock = {static_cast<int64_t>(now), day};
  return day;
}

void format_banner(char *banner, size_t cap, const Edition_DE &edition) {
  char from[9], to[9];
  us_short_date(from, edition.valid_from);
  us_short_date(to, edition.valid_to);
  str_copy(banner, cap, "Pluvar " PLUVAR_VERSION ",  valid ");
  str_append(banner, cap, from);
  str_append(banner, cap, " - ");
  str_append(banner, cap, to);
}

EditionState edition_state(const Edition_DE &edition, uint32_t day, int32_t *days) {
  if (day < edition.valid_from) {
    *days = day_number(edition.valid_from) - day_number(day);
    return EditionState::NotYetValid;
  }
  if (day > edition.valid_to) {
    *days = day_number(day) - day_number(edition.valid_to);
    return EditionState::Expired;
  }
  *days = 0;
  return EditionState::Valid;
}

// `superseded`: the build carries a later edition that has taken effect by
// `day`, so requests no longer answer from this one.
void write_edition_state(Sink &out, const Edition_DE &edition, uint32_t day, bool superseded) {
  char from[kGermanDateSize], to[kGermanDateSize], today[kGermanDateSize];
  german_date(from, edition.valid_from);
  german_date(to, edition.valid_to);
  const char *const head[] = {"German edition ", from, " - ", to, ": "};
  for (const char *part : head) sink_puts(out, part);
  if (!valid_ymd(day)) {
    sink_puts(out, "today's date is unknown\n");
    return;
  }
  german_date(today, day);
  int32_t days = 0;
  switch (edition_state(edition, day, &days)) {
    case EditionState::Valid:
      sink_puts(out, "valid today (");
      break;
    case EditionState::Expired:
      sink_puts(out, "expired ");
      write_day_count(out, days);
      sink_puts(out, superseded ? " ago; the next edition answers (today is "
                                : " ago; a newer edition is due (today is ");
      break;
    case EditionState::NotYetValid:
      sink_puts(out, "not yet valid; it takes effect in ");
      write_day_count(out, days);
      sink_puts(out, " (today is ");
      break;
  }
  sink_puts(out, today);
  sink_puts(out, ")\n");
}

// The German editions the build carries, each with its state on `day`; with
// more than one, also which of them answers requests of that day.
static void write_german_editions(Sink &out, uint32_t day) {
  for (uint32_t k = 0; k < german_editions_size; k++) {
    const Edition_DE &e = german_editions[k]->edition_DE;
    char rows[kNumberSize], codes[kNumberSize];
    decimal(rows, e.rows);
    decimal(codes, e.codes);
    if (k == 0) {
      const char *const directory[] = {"German bank directory: ", rows, " rows, ", codes,
                                       " bank codes, from ", e.source};
      put_line(out, directory, sizeof directory / sizeof directory[0]);
    } else {
      // data/'s edition has its source's sha256 in the table list below.
      const char *const directory[] = {"German bank directory, next edition: ", rows, " rows, ",
                                       codes, " bank codes, from ", e.source, ", sha256 ",
                                       e.sha256};
      put_line(out, directory, sizeof directory / sizeof directory[0]);
    }
    const bool superseded =
        k + 1 < german_editions_size && german_editions[k + 1]->edition_DE.valid_from <= day;
    write_edition_state(out, e, day, superseded);
  }
  if (german_editions_size < 2 || !valid_ymd(day)) return;
  char on[kGermanDateSize], from[kGermanDateSize];
  german_date(on, day);
  german_date(from, german_edition_for(day).edition_DE.valid_from);
  const char *const line[] = {"Requests of ", on, " answer from the edition valid from ", from};
  put_line(out, line, sizeof line / sizeof line[0]);
}

void write_version(Sink &out, uint32_t day) {
  sink_puts(out, "Pluvar " PLUVAR_VERSION "\n");
  write_german_editions(out, day);
  sink_puts(out, "Tables, their sources and editions:\n");
  for (uint32_t i = 0; i < edition_sources_size; i++) {
    const Edition_Source &s = edition_sources[i];
    const char *const table[] = {"  ", s.unit, " (", s.tables, "): ", s.edition};
    put_line(out, table, sizeof table / sizeof table[0]);
    const char *const source[] = {"    ", s.source, ", sha256 ", s.sha256};
    put_line(out, source, sizeof source / sizeof source[0]);
  }
}
