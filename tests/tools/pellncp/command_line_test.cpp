// pellncp's command line: NCP's words with their abbreviations turned into requests,
// and every mistake refused with its own message (tables).
#include <gtest/gtest.h>

#include "command_line.h"

namespace pellncp {
namespace {

using pellam::ncp::Request;
using pellam::ncp::RequestKind;
using Args = std::vector<std::string>;

TEST(PellncpCommandLine, NcpWordsBecomeRequests) {
  const struct {
    Args args;
    std::string request;
  } cases[] = {
      {{"show", "executor"}, "show executor"},
      {{"SHO", "EXEC"}, "show executor"},
      {{"show", "circuit"}, "show circuit"},
      {{"sho", "kno", "nod"}, "show known nodes"},
      {{"loop", "node", "ALPHA"}, "loop ALPHA 1 40"},
      {{"loop", "node", "1.1", "count", "5"}, "loop 1.1 5 40"},
      {{"LOO", "NOD", "alpha", "LEN", "256", "cou", "3"}, "loop alpha 3 256"},
      {{"loop", "node", "ALPHA", "count", "1000", "length", "4096"}, "loop ALPHA 1000 4096"},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.error, "") << c.request;
    EXPECT_EQ(line.action, Action::kRequest);
    EXPECT_EQ(pellam::ncp::FormatRequest(line.request), c.request);
  }
  EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::kVersion);
}

TEST(PellncpCommandLine, MistakesAreRefusedWithTheirOwnMessage) {
  const struct {
    Args args;
    std::string error;
  } cases[] = {
      {{}, "a command is missing"},
      {{"set", "executor", "state", "off"}, "unknown command \"set\""},
      {{"sh", "executor"}, "unknown command \"sh\""},
      {{"show"}, "show: say \"show executor\", \"show circuit\" or \"show known nodes\""},
      {{"show", "known"}, "show: say \"show executor\", \"show circuit\" or \"show known nodes\""},
      {{"show", "executors"}, "show: say \"show executor\", \"show circuit\" or \"show known nodes\""},
      {{"loop"}, "loop: say \"loop node NAME\""},
      {{"loop", "circuit", "MUL-0"}, "loop: say \"loop node NAME\""},
      {{"loop", "node"}, "loop node: the node's name or address is missing"},
      {{"loop", "node", "AL;PHA"}, "loop node: \"AL;PHA\" is not a node name or address"},
      {{"loop", "node", "ALPHA", "count"}, "loop node: count needs a number"},
      {{"loop", "node", "ALPHA", "count", "0"}, "loop node: count must be a number from 1 to 1000"},
      {{"loop", "node", "ALPHA", "count", "1001"}, "loop node: count must be a number from 1 to 1000"},
      {{"loop", "node", "ALPHA", "length", "x"}, "loop node: length must be a number from 1 to 4096"},
      {{"loop", "node", "ALPHA", "length", "4097"}, "loop node: length must be a number from 1 to 4096"},
      {{"loop", "node", "ALPHA", "with", "3"}, "loop node: unknown parameter \"with\""},
      {{"--help", "show"}, "--help takes nothing after it"},
      {{"--version", "x"}, "--version takes nothing after it"},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.error, c.error);
  }
}

}  // namespace
}  // namespace pellncp
