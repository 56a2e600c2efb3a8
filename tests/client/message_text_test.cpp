// The message window's text routines on their own: reply subjects, quoting, the
// composition form, and the editor's form of a message's bytes with the offsets
// between the two, for every byte value and every kind of line end.
#include <gtest/gtest.h>

#include <string>

#include "message/message_text.h"
#include "message/reply_text.h"

namespace pelldesk {
namespace {

TEST(MessageText, ReplySubjects) {
  struct Row {
    const char* subject;
    const char* prefix;
    const char* want;
  } rows[] = {
      {"Re: RE:  Fwd:lunch", "re: ", "re: lunch"},
      {"Really", "re: ", "re: Really"},
      {"re:", "re: ", ""},
      {"", "re: ", ""},
      {"Re: RE: plans", "re: ", "re: plans"},
      {"Re: RE: plans", "fwd: ", "fwd: plans"},
      {" \t\r\n\v\fre:\tFWD: fwd:x  ", "re: ", "re: x  "},  // trailing characters stay
      {"fwd", "re: ", "re: fwd"},                          // no colon: a word like any other
      {"re: re: ", "fwd: ", ""},
      {"Refund", "re: ", "re: Refund"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MakeReplySubject(row.subject, row.prefix), row.want) << "subject [" << row.subject << "]";
  }
}

TEST(MessageText, QuotingCutsAtLineFeeds) {
  struct Row {
    std::string text;
    std::string want;
  } rows[] = {
      {"one\r\ntwo\r\n", "> one\r\n> two\r\n"},  // two whole lines: no empty line after
      {"one\r\nt", "> one\r\n> t"},              // a line and one character
      {"a\nb\rc", "> a\n> b\rc"},                // CR alone does not end a line
      {"\r\n\r\n", "> \r\n> \r\n"},
      {"", ""},
      {std::string("x\0y\n", 4), std::string("> x\0y\n", 6)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(QuoteText(row.text.data(), row.text.size(), "> "), row.want) << "text [" << row.text << "]";
  }
}

TEST(MessageText, CompositionFormHasAllFourLines) {
  EXPECT_EQ(CompositionText("ann  (Ann Smith)", "", "", "", ""),
            "From: ann  (Ann Smith)\r\nTo: \r\nCc: \r\nSubject: \r\n\r\n");
  EXPECT_EQ(CompositionText("ann", "NODE::SMITH", "bob", "re: x", "> q\r\n"),
            "From: ann\r\nTo: NODE::SMITH\r\nCc: bob\r\nSubject: re: x\r\n\r\n> q\r\n");
}

TEST(MessageText, EveryByteComesBackFromTheEditor) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::string mixes[] = {all, "\r\n\n\r\r\r\n\n\r", "a\r", "\n", "\r", "\r\r\n", "x\r\n"};
  for (const std::string& bytes : mixes) {
    qsizetype unstorable = 0;
    EXPECT_EQ(StoredBytes(EditorText(bytes), &unstorable), bytes);
    EXPECT_EQ(unstorable, -1);
  }
  // One editor character per byte, but one per CR LF pair.
  EXPECT_EQ(EditorText("a\r\nb\nc\rd").size(), 7);
  EXPECT_EQ(EditorText("a\r\nb"), QString("a\nb"));
}

TEST(MessageText, CharactersOutsideTheCodePageAreFoundNotDropped) {
  qsizetype unstorable = 0;
  const QString editor = QString("ab") + QChar(0x20AC) + "c" + QChar(0x20AC);
  EXPECT_EQ(StoredBytes(editor, &unstorable), "ab?c?");  // offsets stay where they were
  EXPECT_EQ(unstorable, 2);
}

TEST(MessageText, OffsetsAndEditorPositions) {
  const std::string text = "ab\r\ncd\ne\rf\r\n";
  struct Row {
    std::size_t offset;
    std::size_t position;
  } rows[] = {
      {0, 0}, {2, 2},   // the CR of the first pair: its block break
      {3, 2},           // the LF of that pair: the same break
      {4, 3}, {6, 5},   // a LF alone is one character
      {7, 6}, {8, 7}, {9, 8}, {10, 9},
      {11, 9},          // the last pair's LF
      {12, 10},         // the end
      {99, 10},         // past the end: the end
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EditorPosition(text, row.offset), row.position) << "offset " << row.offset;
  }
  // Back again: a position in block n stands n pairs further on.
  EXPECT_EQ(TextOffset(3, 1), 4u);
  EXPECT_EQ(TextOffset(10, 2), 12u);
}

TEST(MessageText, LinesEndAfterTheirLineFeed) {
  const std::string text = "To: x\r\nbad line\nlast";
  struct Row {
    std::size_t offset;
    bool found;
    std::size_t start;
    std::size_t next;
  } rows[] = {
      {0, true, 0, 7},   {6, true, 0, 7},     // the LF belongs to its line
      {7, true, 7, 16},  {15, true, 7, 16},
      {16, true, 16, 20}, {20, true, 16, 20},  // the last line runs to the end
      {21, false, 0, 0},
  };
  for (const Row& row : rows) {
    std::size_t start = 0, next = 0;
    ASSERT_EQ(LineAt(text, row.offset, &start, &next), row.found) << "offset " << row.offset;
    if (!row.found) continue;
    EXPECT_EQ(start, row.start) << "offset " << row.offset;
    EXPECT_EQ(next, row.next) << "offset " << row.offset;
  }
  const std::string form = "From: a\r\nTo: \r\nCc: \r\n";
  EXPECT_EQ(EndOfLine(form, 0), 7u);
  EXPECT_EQ(EndOfLine(form, 1), 13u);  // after "To: "
  EXPECT_EQ(EndOfLine(form, 3), form.size());
  EXPECT_EQ(EndOfLine("a\nb", 0), 1u);
}

}  // namespace
}  // namespace pelldesk
