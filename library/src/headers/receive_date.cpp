// ExtractReceiveDate: the date at the end of a header value (after its last semicolon,
// as a "Received" line carries it) in one of two forms, "Mon, 12 Jan 1995 10:20:30"
// or "12 Jan 95 10:20[:30]", read field by field as scanf would read them. Anything
// after the time is ignored; the caller's record changes only when a date is found.
#include <cstring>

#include "address/fold_case.h"
#include "pellam.h"
#include "platform/errors.h"

namespace {

// Reads fields the way the scanf conversions %15s and %u do: each skips white space
// first; a literal character must follow at once.
class FieldReader {
 public:
  explicit FieldReader(const char* text) : p_(text) {}

  bool Word(char (&word)[16]) {
    SkipSpace();
    size_t n = 0;
    while (n < 15 && *p_ != '\0' && !IsSpace(*p_)) word[n++] = *p_++;
    word[n] = '\0';
    return n > 0;
  }

  // Digits with an optional sign; the value wraps as an unsigned conversion does.
  bool Number(uint32_t* value) {
    SkipSpace();
    const bool negative = *p_ == '-';
    if (*p_ == '-' || *p_ == '+') ++p_;
    if (*p_ < '0' || *p_ > '9') return false;
    uint32_t v = 0;
    while (*p_ >= '0' && *p_ <= '9') v = v * 10 + static_cast<uint32_t>(*p_++ - '0');
    *value = negative ? 0 - v : v;
    return true;
  }

  bool Literal(char c) {
    if (*p_ != c) return false;
    ++p_;
    return true;
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  void SkipSpace() {
    while (IsSpace(*p_)) ++p_;
  }

  const char* p_;
};

struct DateFields {
  char weekday[16] = "";
  char month[16] = "";
  uint32_t day = 0, year = 0, hour = 0, minute = 0;
  uint32_t second = MAIL_DATE_UNKNOWN;
};

// " %15s %u %15s %u %u:%u:%u ": all seven fields.
bool ReadWeekdayForm(const char* text, DateFields* f) {
  FieldReader r(text);
  return r.Word(f->weekday) && r.Number(&f->day) && r.Word(f->month) && r.Number(&f->year) &&
         r.Number(&f->hour) && r.Literal(':') && r.Number(&f->minute) && r.Literal(':') &&
         r.Number(&f->second);
}

// " %u %15s %u %u:%u:%u ": the seconds may be missing.
bool ReadDayForm(const char* text, DateFields* f) {
  FieldReader r(text);
  if (!(r.Number(&f->day) && r.Word(f->month) && r.Number(&f->year) && r.Number(&f->hour) &&
        r.Literal(':') && r.Number(&f->minute))) {
    return false;
  }
  uint32_t second = 0;
  if (r.Literal(':') && r.Number(&second)) f->second = second;
  return true;
}

// The position of the name whose three letters begin `word` (case aside), or unknown.
template <size_t N>
uint16_t NamePosition(const char* word, const char* const (&names)[N], uint16_t first) {
  if (std::strlen(word) < 3) return MAIL_DATE_UNKNOWN;
  for (size_t i = 0; i < N; ++i) {
    bool same = true;
    for (size_t k = 0; k < 3 && same; ++k) {
      same = pellam::FoldCase(static_cast<unsigned char>(word[k])) ==
             pellam::FoldCase(static_cast<unsigned char>(names[i][k]));
    }
    if (same) return static_cast<uint16_t>(first + i);
  }
  return MAIL_DATE_UNKNOWN;
}

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

}  // namespace

extern "C" {

PELLAM_API uint32_t ExtractReceiveDate(const char* value, MailDate* date) {
  if (date == nullptr) return platform::Fail(ERROR_INVALID_PARAMETER);
  const char* semicolon = value != nullptr ? std::strrchr(value, ';') : nullptr;
  if (semicolon == nullptr) return platform::Fail(ERROR_INVALID_DATA);

  DateFields f;
  uint16_t weekday = MAIL_DATE_UNKNOWN;
  if (ReadWeekdayForm(semicolon + 1, &f)) {
    weekday = NamePosition(f.weekday, kWeekdays, 0);
  } else {
    f = DateFields{};
    if (!ReadDayForm(semicolon + 1, &f)) return platform::Fail(ERROR_INVALID_DATA);
  }
  if (f.year < 100) f.year += f.year < 80 ? 2000 : 1900;

  // Numbers are kept in 16 bits as read, without range checks.
  date->Year = static_cast<uint16_t>(f.year);
  date->Month = NamePosition(f.month, kMonths, 1);
  date->DayOfWeek = weekday;
  date->Day = static_cast<uint16_t>(f.day);
  date->Hour = static_cast<uint16_t>(f.hour);
  date->Minute = static_cast<uint16_t>(f.minute);
  date->Second = static_cast<uint16_t>(f.second);
  date->Milliseconds = 0;
  return 0;
}

}  // extern "C"
