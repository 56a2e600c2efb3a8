// The header reader and the receive date against the cases that lose or mangle header
// values: folding, the first value winning, line ends, data arriving in pieces, the
// all-or-nothing rule of GetMailHeaders, and both date forms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pellam.h"
#include "platform/errors.h"

namespace {

std::string Status(uint32_t code) {
  if (code == 0) return "0";
  if (code == ERROR_MORE_DATA) return "234";
  char buffer[256];
  std::string text = GetErrorText(code, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// The table of the one-shot senders.
const char* const kNames[] = {"Date", "From", "To", "Cc", "Subject"};
constexpr int32_t kCount = 5;

// One collection over `text`, held in a buffer with no NUL after it, so a read past
// the data is a read past the allocation. Reports "status @stop index=… Name=[value]…".
struct Collected {
  std::string report;
  std::vector<std::string> values;
};

std::string Describe(uint32_t status, ptrdiff_t stop, int32_t current, char** values) {
  std::string got = Status(status) + " @" + std::to_string(stop) +
                    " index=" + std::to_string(current);
  for (int32_t i = 0; i < kCount; ++i) {
    if (values[i] != nullptr) got += std::string(" ") + kNames[i] + "=[" + values[i] + "]";
  }
  return got;
}

std::string Collect(const std::string& text) {
  std::vector<char> data(text.begin(), text.end());
  char* values[kCount] = {};
  int32_t current = -1;
  const char* stop = nullptr;
  const uint32_t status = CollectHeaders(data.data(), static_cast<uint32_t>(data.size()), kCount,
                                         kNames, values, &current, &stop);
  const std::string got = Describe(status, stop - data.data(), current, values);
  FreeMailHeaders(kCount, values);
  return got;
}

TEST(CollectHeaders, ReadsHeaderLines) {
  const std::string non_header = Status(ERR_NON_HEADER_LINE);
  struct Row {
    std::string lines;
    std::string want;
  } rows[] = {
      {"subject: hello\r\n\r\nbody", "0 @18 index=-1 Subject=[hello]"},
      {"Subject : hello\r\n\r\n", "0 @19 index=-1"},
      {"Subject: Re: lunch\r\n\r\n", "0 @22 index=-1 Subject=[Re: lunch]"},
      {"To: SMITH\r\n  JONES\r\n\r\n", "0 @22 index=-1 To=[SMITH JONES]"},
      {"To: SMITH\r\nTo: JONES\r\n\tBROWN\r\n\r\n", "0 @32 index=-1 To=[SMITH]"},
      {"From: A\r\n \t \r\nbody", "0 @14 index=-1 From=[A]"},
      {"From: A\r\nDear John,\r\n\r\n", non_header + " @9 index=-1 From=[A]"},
      {"Dear John: hello\r\n  more\r\nTo: X\r\n\r\n", "0 @35 index=-1 To=[X]"},
      // LF alone ends a line as CR LF does; trailing blanks are not part of a value.
      {"To: A \t\b\r\nCc:\tB\n\nx", "0 @17 index=-1 To=[A] Cc=[B]"},
      // Vertical tab and form feed are ordinary: such a line is not empty.
      {"To: A\r\n\v\r\n\r\n", non_header + " @7 index=-1 To=[A]"},
      {"To: A\r\n\f:x\r\n\r\n", "0 @14 index=-1 To=[A]"},
      // Only the whole name matches, never a part or an empty name.
      {"Subj: x\r\n: y\r\nSubjects: z\r\n\r\n", "0 @29 index=-1"},
      // A folded line with nothing to continue is ignored.
      {"  stray\r\nTo: A\r\n\r\n", "0 @18 index=-1 To=[A]"},
      // A header whose value starts on the folded line.
      {"To:\r\n  SMITH\r\n   JONES\r\n\r\n", "0 @26 index=-1 To=[SMITH JONES]"},
      {"To:\r\nTo: SMITH\r\n\r\n", "0 @18 index=-1 To=[SMITH]"},
      {"\r\nTo: A\r\n", "0 @2 index=-1"},
      {"", "234 @0 index=-1"},
      {"To: A\r\nCc: B", "234 @7 index=2 To=[A]"},
      {"To: A\r\n  B\r\n", "234 @12 index=2 To=[A B]"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Collect(r.lines), r.want) << "lines \"" << r.lines << "\"";
  }
}

// Data that arrives in two pieces, the second call going on from the first's stop with
// its index, must give what one call over the whole gives, wherever the cut falls.
TEST(CollectHeaders, PiecesGiveTheSameValuesAsTheWhole) {
  const std::string text =
      "Date: Mon, 12 Jan 1995 10:20:30 GMT\r\nFrom: NODEA::SMITH  (Jo Smith)\r\n"
      "To: JONES,\r\n  BROWN,\r\n\tGREEN\r\nX-Other: a\r\n more\r\nCc:\r\n  WHITE\r\n"
      "To: NOBODY\r\nSubject: lunch\r\n\r\nbody\r\n";
  const std::string whole = Collect(text);
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    std::vector<char> first(text.begin(), text.begin() + static_cast<ptrdiff_t>(cut));
    char* values[kCount] = {};
    int32_t current = -1;
    const char* stop = nullptr;
    uint32_t status = CollectHeaders(first.data(), static_cast<uint32_t>(first.size()), kCount,
                                     kNames, values, &current, &stop);
    size_t consumed = static_cast<size_t>(stop - first.data());
    if (status == ERROR_MORE_DATA) {
      std::vector<char> rest(text.begin() + static_cast<ptrdiff_t>(consumed), text.end());
      status = CollectHeaders(rest.data(), static_cast<uint32_t>(rest.size()), kCount, kNames,
                              values, &current, &stop);
      consumed += static_cast<size_t>(stop - rest.data());
    }
    EXPECT_EQ(Describe(status, static_cast<ptrdiff_t>(consumed), current, values), whole)
        << "cut at " << cut;
    FreeMailHeaders(kCount, values);
  }
}

TEST(CollectHeaders, AValueThatCannotBeStoredEndsTheCallAfterItsLine) {
  // A slot that holds a block the library did not allocate cannot be extended: the
  // platform's code comes back unchanged, the stop lies after the line, and the
  // values gathered so far stay for the caller to free.
  alignas(16) char not_a_block[64] = {};
  char* foreign = not_a_block + 32;  // the memory layer looks just before it
  std::strcpy(foreign, "SMITH");
  char* values[kCount] = {};
  values[2] = foreign;
  int32_t current = 2;
  const std::string text = "  JONES\r\nCc: X\r\n\r\n";
  const char* stop = nullptr;
  platform::SetLastError(4321);
  EXPECT_EQ(CollectHeaders(text.data(), static_cast<uint32_t>(text.size()), kCount, kNames, values,
                           &current, &stop),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::GetLastError(), 4321u);  // reported by the result alone
  EXPECT_EQ(stop - text.data(), 9);
  EXPECT_STREQ(values[2], "SMITH");
  EXPECT_EQ(values[3], nullptr);
}

TEST(CollectHeaders, RefusesArgumentsItCannotUseSafely) {
  char* values[kCount] = {};
  const char* stop = nullptr;
  struct Row {
    const char* data;
    uint32_t length;
    int32_t current;
    bool with_tables;
  } rows[] = {
      {"To: A\r\n", 7, 5, true},     // an index past the table
      {"To: A\r\n", 7, -2, true},    // below "none"
      {nullptr, 7, -1, true},        // data missing
      {"To: A\r\n", 7, -1, false},   // tables missing for a count of 5
  };
  for (const Row& r : rows) {
    int32_t current = r.current;
    EXPECT_EQ(CollectHeaders(r.data, r.length, kCount, r.with_tables ? kNames : nullptr,
                             r.with_tables ? values : nullptr, &current, &stop),
              ERROR_INVALID_PARAMETER)
        << "current " << r.current;
  }
  int32_t current = -1;
  EXPECT_EQ(CollectHeaders(nullptr, 0, 0, nullptr, nullptr, &current, &stop), ERROR_MORE_DATA);
  // A null name in the table matches nothing, not even an empty name.
  const char* const names[] = {nullptr, "To"};
  const std::string text = ": x\r\nTo: y\r\n\r\n";
  char* two[2] = {};
  EXPECT_EQ(CollectHeaders(text.data(), static_cast<uint32_t>(text.size()), 2, names, two,
                           &current, &stop),
            0u);
  EXPECT_EQ(two[0], nullptr);
  EXPECT_STREQ(two[1], "y");
  FreeMailHeaders(2, two);
}

TEST(GetMailHeaders, GivesAllValuesOrNone) {
  struct Row {
    std::string text;
    uint32_t status;
    int consumed;
    std::string subject;  // "-" for none
  } rows[] = {
      {"Subject: hi\r\nTo: A\r\n\r\nbody", 0, 22, "hi"},
      {"Subject: hi\r\nTo: A\r\n", ERROR_MORE_DATA, 20, "-"},
      {"Subject: hi\r\nTo: A", ERROR_MORE_DATA, 13, "-"},
      {"Subject: hi\r\nDear John\r\n\r\n", ERR_NON_HEADER_LINE, 13, "-"},
      {"\r\n", 0, 2, "-"},
  };
  for (const Row& r : rows) {
    std::vector<char> data(r.text.begin(), r.text.end());
    const char* text = data.data();
    auto length = static_cast<int32_t>(data.size());
    char junk[] = "not a block";
    char* values[kCount] = {junk, junk, junk, junk, junk};  // cleared, never freed
    platform::SetLastError(4321);
    const uint32_t status = GetMailHeaders(&text, &length, kCount, kNames, values);
    EXPECT_EQ(Status(status), Status(r.status)) << r.text;
    EXPECT_EQ(text - data.data(), r.consumed) << "text pointer after " << r.text;
    EXPECT_EQ(length, static_cast<int32_t>(data.size()) - r.consumed) << "length after " << r.text;
    EXPECT_EQ(values[4] != nullptr ? std::string(values[4]) : "-", r.subject) << r.text;
    EXPECT_EQ(platform::GetLastError(), status == 0 ? 4321u : status) << "last error " << r.text;
    if (status != 0) {
      for (char* v : values) EXPECT_EQ(v, nullptr) << r.text;
    }
    EXPECT_EQ(FreeMailHeaders(kCount, values), 0u);
    for (char* v : values) EXPECT_EQ(v, nullptr);
  }
}

TEST(GetMailHeaders, RefusesANegativeLength) {
  const char* text = "To: A\r\n\r\n";
  int32_t length = -1;
  char* values[kCount] = {};
  EXPECT_EQ(GetMailHeaders(&text, &length, kCount, kNames, values), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetMailHeaders(nullptr, &length, kCount, kNames, values), ERROR_INVALID_PARAMETER);
}

std::string Date(const char* value) {
  MailDate d = {1, 2, 3, 4, 5, 6, 7, 8};
  platform::SetLastError(0);
  const uint32_t status = ExtractReceiveDate(value, &d);
  std::string got = Status(status);
  if (status != 0) {
    got += " last=" + std::to_string(platform::GetLastError());
  }
  for (uint16_t f : {d.Year, d.Month, d.DayOfWeek, d.Day, d.Hour, d.Minute, d.Second,
                     d.Milliseconds}) {
    got += " " + std::to_string(f);
  }
  return got;
}

TEST(ExtractReceiveDate, ReadsBothFormsAfterTheLastSemicolon) {
  const std::string invalid = Status(ERROR_INVALID_DATA) + " last=13 1 2 3 4 5 6 7 8";  // record untouched
  struct Row {
    const char* value;
    std::string want;
  } rows[] = {
      {"by NODEA; Mon, 12 Jan 1995 10:20:30 GMT", "0 1995 1 1 12 10 20 30 0"},
      {"; 12 Jan 95 10:20", "0 1995 1 65535 12 10 20 65535 0"},
      {"; 3 FEBRUARY 04 08:00:00", "0 2004 2 65535 3 8 0 0 0"},
      {"; 12 Foo 1995 10:20:30", "0 1995 65535 65535 12 10 20 30 0"},
      {"; Mon 12 Jan 1995 10:20", invalid},
      {"12 Jan 1995 10:20:30", invalid},
      {"a; b; 12 Jan 1995 10:20:30", "0 1995 1 65535 12 10 20 30 0"},
      {";sat 1 jan 00 0:0:0", "0 2000 1 6 1 0 0 0 0"},
      {";\t1\r\nDec\v79\f23:59", "0 2079 12 65535 1 23 59 65535 0"},  // any white space
      {"; 1 Dec 80 1:2", "0 1980 12 65535 1 1 2 65535 0"},
      {"; 1 Dec 100 1:2", "0 100 12 65535 1 1 2 65535 0"},
      {"; 1 Dec 70000 1:2", "0 4464 12 65535 1 1 2 65535 0"},  // 16 bits, no range check
      {"; 1 Ja 1995 1:2", "0 1995 65535 65535 1 1 2 65535 0"},  // two letters match nothing
      {"; Thursdayyyyyyyyyy 1 Jan 1995 1:2:3", invalid},  // a word is at most 15 characters
      {"; 12 Jan 1995 10 :20", invalid},                    // the colon must follow at once
      {"; 12 Jan 1995 10:", invalid},
      {"; 12 Jan 1995", invalid},
      {";", invalid},
      {nullptr, invalid},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Date(r.value), r.want) << "value \"" << (r.value ? r.value : "(null)") << "\"";
  }
}

}  // namespace
