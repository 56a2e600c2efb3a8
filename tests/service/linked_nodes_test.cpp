// The pair the MAIL-11 service tests stand on: adjacent, and a connect from one to an
// object nobody bound on the other is refused rather than left hanging.
#include "linked_nodes.h"

#include <gtest/gtest.h>

namespace pellam::test {
namespace {

using namespace std::chrono_literals;

TEST(LinkedNodes, ComeUpAdjacentAndRefuseAnUnboundObject) {
  std::string error;
  LinkedNodes nodes = StartLinkedNodes(&error);
  ASSERT_TRUE(nodes.alpha && nodes.bravo) << error;
  decnet::ConnectRequest request;
  request.node = kBravo;
  request.destination.object = 27;
  request.source.format = 1;
  request.source.name = "TESTER";
  decnet::Outcome outcome;
  EXPECT_EQ(nodes.alpha->Connect(request, 5000ms, &outcome), nullptr);
  EXPECT_EQ(outcome.error, decnet::LinkError::kRejected);
  EXPECT_EQ(outcome.reason, decnet::kReasonNoSuchObject);
}

}  // namespace
}  // namespace pellam::test
