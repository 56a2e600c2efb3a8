// The control socket's requests: each accepted spelling formats back to itself, and
// every other spelling is refused (table).
#include <gtest/gtest.h>

#include "ncp_protocol.h"

namespace pellam::ncp {
namespace {

TEST(NcpProtocol, AcceptedRequestsFormatBackToThemselves) {
  const char* const good[] = {"show executor", "show circuit", "show known nodes", "loop ALPHA 1 40",
                              "loop 1.1 1000 4096", "loop a.b.c 7 1"};
  for (const char* line : good) {
    const auto request = ParseRequest(line);
    ASSERT_TRUE(request) << line;
    EXPECT_EQ(FormatRequest(*request), line);
  }
  const auto loop = ParseRequest("loop BRAVO 3 256");
  ASSERT_TRUE(loop);
  EXPECT_EQ(*loop, (Request{RequestKind::kLoop, "BRAVO", 3, 256}));
}

TEST(NcpProtocol, OtherSpellingsAreRefused) {
  const char* const bad[] = {"", "show", "show  executor", " show executor", "show executor ", "SHOW EXECUTOR",
                             "show exec", "show known", "set executor state off", "loop ALPHA 1", "loop ALPHA 0 40",
                             "loop ALPHA 01 40", "loop ALPHA 1001 40", "loop ALPHA 1 4097", "loop ALPHA -1 40",
                             "loop ALPHA 1 40 9", "loop ALPHA+ 1 40", "loop ABCDEFGHIJKLMNOP 1 40", "loop  1 40",
                             "loop ALPHA 99999999999 40", "show executor\r"};
  for (const char* line : bad) EXPECT_FALSE(ParseRequest(line)) << '"' << line << '"';
  EXPECT_FALSE(ParseRequest(std::string("show executor\0x", 15)));
  EXPECT_FALSE(ParseRequest("loop " + std::string(200, 'A') + " 1 1"));
}

TEST(NcpProtocol, AnswerLinesSplitAtTheFirstBlankAndTextsStayOnOneLine) {
  EXPECT_EQ(SplitReplyLine("field adjacent-node 1.1 (ALPHA)").tag, "field");
  EXPECT_EQ(SplitReplyLine("field adjacent-node 1.1 (ALPHA)").rest, "adjacent-node 1.1 (ALPHA)");
  EXPECT_EQ(SplitReplyLine("ok").rest, "");
  EXPECT_EQ(OneLineText("a\nb\rc\x7f"), "a b c ");
}

}  // namespace
}  // namespace pellam::ncp
