// The one rule that turns a status text into a line of output.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/text_line.h"

namespace {

TEST(TextLine, OnlyTheLineEndAtTheEndGoes) {
  struct Row {
    std::string_view text;
    std::string_view line;
  };
  const Row rows[] = {
      {"No such mail alias.\r\n", "No such mail alias."},
      {"Unix text\n", "Unix text"},
      {"Old text\r", "Old text"},
      {"", ""},
      {"No break at all", "No break at all"},
      {"The message handle is not valid. \r\n", "The message handle is not valid."},
      {"Two lines.\r\nSecond line.\r\n", "Two lines.\r\nSecond line."},
      {"Trailing breaks\r\n\r\n\n", "Trailing breaks"},
      {"\r\n", ""},
      {"  lead stays", "  lead stays"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::WithoutLineEnd(row.text), row.line) << "text \"" << row.text << "\"";
  }
}

}  // namespace
