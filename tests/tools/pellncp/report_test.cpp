// The displays: the executor laid out as NCP shows it, with unknown fields kept, the
// node list, and the loop's summary.
#include <gtest/gtest.h>

#include "report.h"

namespace pellncp {
namespace {

TEST(PellncpReport, ExecutorAsNcpShowsIt) {
  const Fields fields = {{"address", "1.2"},         {"name", "BRAVO"},          {"state", "on"},
                         {"active-links", "1"},      {"circuit", "MUL-0"},       {"adjacent-node", "1.1 (ALPHA)"},
                         {"packets-sent", "12"},     {"retransmissions", "0"},   {"new-thing", "7"}};
  EXPECT_EQ(ExecutorReport(fields, "9-DEC-2026 13:41:02"),
            "Node Volatile Summary as of 9-DEC-2026 13:41:02\n"
            "\n"
            "Executor node            = 1.2 (BRAVO)\n"
            "\n"
            "State                    = on\n"
            "Active links             = 1\n"
            "\n"
            "Circuit                  = MUL-0\n"
            "Adjacent node            = 1.1 (ALPHA)\n"
            "\n"
            "Counters:\n"
            "  Packets sent           = 12\n"
            "  Retransmissions        = 0\n"
            "new-thing                = 7\n");
}

TEST(PellncpReport, KnownNodesAndTheLoopSummary) {
  EXPECT_EQ(KnownNodesReport({{"1.1", "ALPHA"}, {"63.1023", "LAST"}}, "1-JAN-2027 00:00:00"),
            "Known Nodes Volatile Summary as of 1-JAN-2027 00:00:00\n"
            "\n"
            "    Node           Name\n"
            "    1.1            ALPHA\n"
            "    63.1023        LAST\n"
            "\n"
            "2 nodes\n");
  EXPECT_EQ(LoopSummary("1.1 (ALPHA)", 3, {100, 200, 600}),
            "Loop to 1.1 (ALPHA): 3 of 3 answered, round trip min/avg/max = 0.100/0.300/0.600 ms\n");
  EXPECT_EQ(LoopSummary("1.1 (ALPHA)", 5, {}), "Loop to 1.1 (ALPHA): 0 of 5 answered\n");
  EXPECT_EQ(DisplayTime(0).find("-19"), DisplayTime(0).find('-') + 4) << DisplayTime(0);
}

}  // namespace
}  // namespace pellncp
