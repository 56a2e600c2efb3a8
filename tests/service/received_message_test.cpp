// The incoming message's From route and header section, and the file it is written
// to: sender records as VMS and the gateways write them, hop counts of routes, header
// values that try to break out of their line, and a file that goes whatever happens.
#include "received_message.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errors.h"
#include "platform/fault.h"
#include "service_sandbox.h"

namespace pellam::service {
namespace {

TEST(IncomingHeader, TheSenderRecordGivesRouteAndPersonalName) {
  struct Row {
    std::string record;
    std::string route;
    std::string personal;
    uint32_t hops;
  };
  const Row rows[] = {
      {"SYSTEM      ", "ALPHA::SYSTEM", "", 1},
      {"SMITH  (Jo Smith)", "ALPHA::SMITH", "Jo Smith", 1},
      {"SMITH \"Jo Smith\"", "ALPHA::SMITH", "Jo Smith", 1},
      {"SMITH Jo Smith", "ALPHA::SMITH", "Jo Smith", 1},
      {"\"jo@host.example\"", "ALPHA::\"jo@host.example\"", "", 1},
      {"B::C::SMITH (Jo (the) Smith)", "ALPHA::B::C::SMITH", "Jo (the) Smith", 3},
      {"SMITH (Jo (Smith)", "ALPHA::SMITH", "", 1},          // unbalanced: no name
      {"SMITH (Jo\rX-Bad: 1)", "ALPHA::SMITH", "", 1},       // a line break: no name
      {std::string("SM\0ITH", 6), "ALPHA::SMITH", "", 1},    // a NUL is dropped
      {"", "ALPHA::UNKNOWN", "", 1},
      {"    ", "ALPHA::UNKNOWN", "", 1},
      {"\"unbalanced", "ALPHA::UNKNOWN", "", 1},
      {"G::\"a::b::c\"", "ALPHA::G::\"a::b::c\"", "", 2},   // quoted colons are no hops
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.record);
    const IncomingHeader header = FromSenderRecord("ALPHA", row.record);
    EXPECT_EQ(header.route, row.route);
    EXPECT_EQ(header.personal, row.personal);
    EXPECT_EQ(RouteHops(header.route), row.hops);
  }
}

TEST(IncomingHeader, FieldsAreOneLineEachAndCcOnlyWhenGiven) {
  IncomingHeader header{"ALPHA::SMITH", "Jo Smith", "BRAVO::BOB", "", "Hi"};
  EXPECT_EQ(HeaderFields(header), "From: ALPHA::SMITH  (Jo Smith)\r\nTo: BRAVO::BOB\r\nSubject: Hi\r\n\r\n");
  header.cc = "ALPHA::JONES";
  header.subject = std::string("a\r\nFrom: root\0x", 16);
  EXPECT_EQ(HeaderFields(header, "BRAVO::"),
            "From: BRAVO::ALPHA::SMITH  (Jo Smith)\r\nTo: BRAVO::BOB\r\nCc: ALPHA::JONES\r\n"
            "Subject: a  From: rootx\r\n\r\n");
}

class ReceivedFile : public ::testing::Test {
 protected:
  std::string Temp() { return s_.box().Path("spool/temp/"); }
  size_t TempCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(Temp()),
                                             std::filesystem::directory_iterator()));
  }
  pellam::test::ServiceSandbox s_;
};

TEST_F(ReceivedFile, HoldsTheHeaderAndTheLinesAndGoesWithTheObject) {
  std::string path;
  {
    ReceivedMessage message;
    IncomingHeader header{"ALPHA::SMITH", "", "BRAVO::BOB", "", "Hi"};
    ASSERT_EQ(message.Begin(Temp(), "BRAVO", header, 0), 0u);
    for (const char* line : {"Received: by X; 1 Jan 2024 00:00", "Auto-Submitted: auto-replied", "", "Received: no"}) {
      ASSERT_EQ(message.AddLine(line), 0u);
    }
    ASSERT_EQ(message.Finish(), 0u);
    path = message.path();
    const std::string content = pellam::test::ReadTextFile(path);
    EXPECT_EQ(content.substr(0, 13), "Received: by ");
    EXPECT_EQ(content.substr(content.find("\r\n") + 2),
              "From: ALPHA::SMITH\r\nTo: BRAVO::BOB\r\nSubject: Hi\r\n\r\n"
              "Received: by X; 1 Jan 2024 00:00\r\nAuto-Submitted: auto-replied\r\n\r\nReceived: no\r\n");
    EXPECT_EQ(message.header(), content.substr(0, content.find("\r\n\r\n") + 4));
    EXPECT_EQ(message.received_lines(), 1u) << "only those at the head of the text";
    EXPECT_TRUE(message.automatic());
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(TempCount(), 0u);
}

TEST_F(ReceivedFile, FailuresReportTheirCodeAndLeaveNoFile) {
  platform::fault::Scope faults;
  IncomingHeader header{"ALPHA::SMITH", "", "BRAVO::BOB", "", "Hi"};
  struct Row {
    platform::fault::Op op;
    int stage;  // 0 Begin, 1 AddLine (a line long enough to be written at once), 2 Finish
  };
  const Row rows[] = {{platform::fault::Op::TempName, 0}, {platform::fault::Op::Open, 0},
                      {platform::fault::Op::Write, 0},    {platform::fault::Op::Write, 1},
                      {platform::fault::Op::Flush, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.op));
    {
      ReceivedMessage message;
      uint32_t code = 0;
      if (row.stage == 0) platform::fault::FailNth(row.op, 1, ERROR_DISK_FULL);
      code = message.Begin(Temp(), "BRAVO", header, 0);
      if (row.stage >= 1) {
        ASSERT_EQ(code, 0u);
        platform::fault::FailNth(row.op, 1, ERROR_DISK_FULL);
        code = message.AddLine(std::string(row.stage == 1 ? 70000 : 10, 'x'));
        if (row.stage == 2) {
          ASSERT_EQ(code, 0u);
          code = message.Finish();
        }
      }
      EXPECT_EQ(code, ERROR_DISK_FULL);
    }
    platform::fault::Clear();
    EXPECT_EQ(TempCount(), 0u);
  }
}

}  // namespace
}  // namespace pellam::service
