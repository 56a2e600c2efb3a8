// Splitting an address at its first node, quotes respected.
#include <gtest/gtest.h>

#include "mail11/address.h"

namespace pellam::mail11 {
namespace {

TEST(Mail11Address, SplitsAtTheFirstUnquotedDoubleColon) {
  struct Row {
    const char* address;
    const char* node;  // nullptr: no node part
    const char* rest;
  };
  const Row rows[] = {
      {"VAX2::SYSTEM", "VAX2", "SYSTEM"},
      {"A::B::C::USER", "A", "B::C::USER"},
      {"GATE::\"user@host\"", "GATE", "\"user@host\""},
      {"DECWRL::\"decvax!x::y\"", "DECWRL", "\"decvax!x::y\""},
      {"\"a::b\"::USER", "\"a::b\"", "USER"},
      {"\"a::b::USER", nullptr, nullptr},
      {"USER", nullptr, nullptr},
      {"::USER", nullptr, nullptr},
      {"NODE::", nullptr, nullptr},
      {"NODE:USER", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Row& row : rows) {
    const auto hop = SplitFirstNode(row.address);
    ASSERT_EQ(hop.has_value(), row.node != nullptr) << row.address;
    if (!hop) continue;
    EXPECT_EQ(hop->node, row.node) << row.address;
    EXPECT_EQ(hop->rest, row.rest) << row.address;
  }
}

}  // namespace
}  // namespace pellam::mail11
