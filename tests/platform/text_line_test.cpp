// The one rule that turns a status text into a line of output.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/text_line.h"

namespace {

TEST(TextLine, OnlyTheLineEndAtTheEndGoes) {
  struct Row {
    std::string_view text;
    std::string_view line;        // WithoutLineEnd
    std::string_view log_line;    // WithoutTrailingSpace
  };
  const Row rows[] = {
      {"No such mail alias.\r\n", "No such mail alias.", "No such mail alias."},
      {"Unix text\n", "Unix text", "Unix text"},
      {"Old text\r", "Old text", "Old text"},
      {"", "", ""},
      {"No break at all", "No break at all", "No break at all"},
      {"Not valid. \r\n", "Not valid. ", "Not valid."},
      {"Two lines.\r\nSecond line.\r\n", "Two lines.\r\nSecond line.", "Two lines.\r\nSecond line."},
      {"Breaks \r\n \r\n\n", "Breaks \r\n ", "Breaks"},
      {"\r\n", "", ""},
      {"  lead stays", "  lead stays", "  lead stays"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::WithoutLineEnd(row.text), row.line) << "text \"" << row.text << "\"";
    EXPECT_EQ(platform::WithoutTrailingSpace(row.text), row.log_line) << "text \"" << row.text << "\"";
  }
}

}  // namespace
