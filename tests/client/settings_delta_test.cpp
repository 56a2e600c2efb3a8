// The helpers with which the settings pages build records of changes: trimming, text
// deltas (unchanged, changed, cleared to the delete mark, cut to the field) and number
// deltas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pellam.h"
#include "settings/field_delta.h"

namespace pelldesk::test {
namespace {

TEST(TrimText, DropsBlanksAndLineControlsAtBothEnds) {
  struct Row {
    std::string text;
    std::string want;
  } rows[] = {
      {"", ""},
      {"   ", ""},
      {" \t\r\n\v\f\b", ""},
      {"  Ann Smith  ", "Ann Smith"},
      {"\tinner  blanks\tstay\r\n", "inner  blanks\tstay"},
      {std::string("\x07x\x07"), std::string("\x07x\x07")},  // only 8 to 13 and blanks go
      {std::string("\x0ex\x0e"), std::string("\x0ex\x0e")},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TrimText(row.text), row.want) << "text [" << row.text << "]";
  }
}

TEST(TextDelta, ReportsAndRecordsOnlyWhatDiffers) {
  struct Row {
    const char* typed;
    const char* stored;
    bool changed;
    std::string field;     // the delta field afterwards ("-" stands for untouched)
    std::string trimmed;   // the page's text afterwards
  } rows[] = {
      {"/home/ann/mail/", "/home/ann/mail/", false, "-", "/home/ann/mail/"},
      {"  Ann  ", "Ann", false, "-", "Ann"},
      {"/HOME/ann/mail/", "/home/ann/mail/", true, "/HOME/ann/mail/", "/HOME/ann/mail/"},
      {"", "Ann", true, "\x7f", ""},
      {"   ", "Ann", true, "\x7f", ""},
      {"", "", false, "-", ""},
      {"NODE::GATE", "", true, "NODE::GATE", "NODE::GATE"},
  };
  for (const Row& row : rows) {
    char stored[PELLAM_MAX_PATH] = {};
    std::strcpy(stored, row.stored);
    char field[PELLAM_MAX_PATH];
    std::memset(field, '-', sizeof field);
    field[1] = '\0';
    std::string page = row.typed;
    EXPECT_EQ(TextDelta(page, stored, field, sizeof field), row.changed)
        << "[" << row.typed << "] against [" << row.stored << "]";
    EXPECT_EQ(std::string(field), row.field) << "[" << row.typed << "]";
    EXPECT_EQ(page, row.trimmed) << "[" << row.typed << "]";
  }
}

TEST(TextDelta, CutsATooLongTextToTheFieldAndReadsTheStoredFieldWithinItsSize) {
  std::string page(300, 'a');
  char field[PELLAM_MAX_PATH];
  char stored[PELLAM_MAX_PATH] = "x";
  EXPECT_TRUE(TextDelta(page, stored, field, sizeof field));
  EXPECT_EQ(std::strlen(field), 259u);

  // A stored field that fills its bytes without a NUL compares by its bytes only.
  char full[4] = {'a', 'b', 'c', 'd'};
  std::string same = "abcd";
  char delta[8] = "-";
  EXPECT_FALSE(TextDelta(same, full, delta, sizeof full));
  EXPECT_STREQ(delta, "-");
}

TEST(NumberDelta, LeavesAnEqualValueAloneAndRecordsADifferentOne) {
  struct Row {
    int32_t value, stored;
    bool changed;
    int32_t field;
  } rows[] = {{0, 0, false, -1}, {1, 0, true, 1}, {0, 1, true, 0}, {3, 2, true, 3}, {3, 3, false, -1}};
  for (const Row& row : rows) {
    int32_t field = 42;
    EXPECT_EQ(NumberDelta(row.value, row.stored, &field), row.changed) << row.value << " vs " << row.stored;
    EXPECT_EQ(field, row.field) << row.value << " vs " << row.stored;
  }
}

}  // namespace
}  // namespace pelldesk::test
