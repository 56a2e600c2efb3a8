// The service sending mail for other nodes: its loop on ALPHA against a scripted
// object-27 receiver on BRAVO, over a real DECnet circuit on loopback. What reaches the
// peer byte for byte, what becomes of each recipient (done, reported with the peer's
// text, or left queued), and what the journal and the queue hold afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "compose/control_file_format.h"
#include "control_job.h"
#include "linked_nodes.h"
#include "mail11/options.h"
#include "mail11/vms_stream.h"
#include "mail11_peer.h"
#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "remote_delivery.h"
#include "service_sandbox.h"

namespace pellam::test {
namespace {

using namespace std::chrono_literals;
using mail11::test::Bytes;
using mail11::test::Hex;
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kVmsHeader = "From: SYSTEM\r\nTo: VAX2::SYSTEM\r\nSubject: Test message\r\n\r\n";
const std::string kVmsText = "Hello,\r\n\r\na line after an empty one.\r\n";
const decnet::Message kSuccess = Hex("01 00 00 00");
const decnet::Message kEnd = Hex("00");
constexpr char kLateText[] = "%MAIL-E-OPENOUT, error opening mail file for LATE";

PeerStep Expect(decnet::Message bytes) { return {PeerStep::kExpect, std::move(bytes), {}}; }
PeerStep Answer(decnet::Message bytes) { return {PeerStep::kAnswer, std::move(bytes), {}}; }
PeerStep Do(PeerStep::Kind kind) { return {kind, {}, {}}; }

// The receiver's side of a message to SYSTEM alone, up to the body.
std::vector<PeerStep> UpToBody(const std::string& subject = "Test message") {
  return {Expect(Bytes("SYSTEM      ")), Expect(Bytes("SYSTEM")), Answer(kSuccess), Expect(kEnd),
          Expect(Bytes("VAX2::SYSTEM")), Expect({}),           Expect(Bytes(subject))};
}

std::vector<PeerStep> WholeMessageToSystem() {
  std::vector<PeerStep> script = UpToBody();
  script.push_back(Do(PeerStep::kBody));
  script.push_back(Answer(kSuccess));
  return script;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

class RemoteDeliveryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { nodes_ = new LinkedNodes(StartLinkedNodes(&error_)); }
  static void TearDownTestSuite() {
    delete nodes_;
    nodes_ = nullptr;
  }

  void SetUp() override {
    PELLAM_NEEDS_ROOT("the recipients are registered in their own identities");
    ASSERT_TRUE(nodes_->alpha && nodes_->bravo) << error_;
    s_.AddUser("bob", 1001);
    s_.AddUser("system", 1005);  // the From of the hand-made files: reports land here
    s_.UseNetwork(nodes_->alpha.get(), 2s);
  }

  // Puts a control file made by hand into the queue, as the system's own mail.
  void Queue(const Names& recipients, const std::string& header, const std::string& text) {
    control::ControlFile file;
    file.creation_time = control::CurrentFileTime();
    for (const std::string& r : recipients) {
      int32_t node_offset = 0, node_length = 0, user_offset = 0, user_length = 0, form = 0;
      ASSERT_EQ(ParseAddr(r.c_str(), -1, &node_offset, &node_length, &user_offset, &user_length, &form), 0u) << r;
      file.addresses.push_back({static_cast<uint8_t>(node_offset), static_cast<uint8_t>(node_length),
                                static_cast<uint8_t>(user_offset), static_cast<uint8_t>(user_length),
                                static_cast<uint8_t>(form), r});
    }
    WriteTextFile(s_.queue() + "remote.mai", control::EncodeControlFile(file, header, text));
  }

  std::string Journal() const { return ReadTextFile(s_.queue() + "remote.sta"); }
  void ExpectQueueEmpty() { EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText(); }
  void ExpectStillQueued() {
    EXPECT_EQ(s_.QueueFiles(), (Names{"remote.mai", "remote.sta"})) << s_.LogText();
    EXPECT_EQ(s_.Messages("system"), Names{}) << "nothing is reported while a recipient waits";
  }
  std::string OnlyReport() {
    const auto reports = s_.Contents("system");
    EXPECT_EQ(reports.size(), 1u) << s_.LogText();
    return reports.empty() ? std::string() : reports[0];
  }

  static LinkedNodes* nodes_;
  static std::string error_;
  ServiceSandbox s_;
};

LinkedNodes* RemoteDeliveryTest::nodes_ = nullptr;
std::string RemoteDeliveryTest::error_;

// The whole reported VMS exchange, the empty CC line and the empty body line included.
TEST_F(RemoteDeliveryTest, SpeaksTheReportedVmsStreamAndReportsTheRefusalQuoted) {
  Queue({"BRAVO::SYSTEM", "BRAVO::NOSUCHUSER"}, kVmsHeader, kVmsText);
  Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, VmsPeerScript());
  s_.Drain();
  peer.Finish();
  EXPECT_EQ(peer.faults(), Names{}) << s_.LogText();
  EXPECT_EQ(peer.end().error, decnet::LinkError::kDisconnected) << "an orderly end";
  EXPECT_EQ(peer.end().reason, 0);
  decnet::Message proposal = mail11::test::kVmsConnectData;
  proposal[3] = 18;  // the operating system: ours, not VMS's
  EXPECT_EQ(peer.connect_data(), proposal);
  EXPECT_EQ(peer.source().format, 1);
  EXPECT_EQ(peer.source().name, "SYSTEM");
  ExpectQueueEmpty();
  const std::string report = OnlyReport();
  EXPECT_TRUE(Contains(report, "could not be delivered to BRAVO::NOSUCHUSER.")) << report;
  EXPECT_TRUE(Contains(report, mail11::test::kNoSuchUserText)) << report;
  EXPECT_FALSE(Contains(report, "delivered to BRAVO::SYSTEM.")) << report;
}

// A local user, one delivered, one refused at once and one refused after the text.
TEST_F(RemoteDeliveryTest, AMixedMessageSettlesEachRecipientOnItsOwn) {
  Queue({"bob", "BRAVO::SYSTEM", "BRAVO::NOSUCHUSER", "BRAVO::LATE"}, kVmsHeader, kVmsText);
  std::vector<PeerStep> script = {Expect(Bytes("SYSTEM      ")), Expect(Bytes("SYSTEM")), Answer(kSuccess),
                                  Expect(Bytes("NOSUCHUSER")),    Answer(Hex("12 81 7e 00")),
                                  Answer(Bytes(mail11::test::kNoSuchUserText)),
                                  Answer(kEnd),                   Expect(Bytes("LATE")),  Answer(kSuccess),
                                  Expect(kEnd),                   Expect(Bytes("VAX2::SYSTEM")), Expect({}),
                                  Expect(Bytes("Test message")),  Do(PeerStep::kBody),   Answer(kSuccess),
                                  Answer(Hex("12 81 7e 00")),     Answer(Bytes(kLateText)), Answer(kEnd)};
  Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, script);
  s_.Drain();
  peer.Finish();
  EXPECT_EQ(peer.faults(), Names{}) << s_.LogText();
  EXPECT_EQ(peer.body(), mail11::test::kVmsBody);
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("bob").size(), 1u);
  const std::string report = OnlyReport();
  EXPECT_TRUE(Contains(report, "could not be delivered to BRAVO::NOSUCHUSER.")) << report;
  EXPECT_TRUE(Contains(report, mail11::test::kNoSuchUserText)) << report;
  EXPECT_TRUE(Contains(report, "could not be delivered to BRAVO::LATE.")) << report;
  EXPECT_TRUE(Contains(report, kLateText)) << report;
  EXPECT_FALSE(Contains(report, "delivered to BRAVO::SYSTEM.")) << report;
  EXPECT_FALSE(Contains(report, "delivered to bob.")) << report;
}

TEST_F(RemoteDeliveryTest, APeerThatConfirmsWithoutOptionsGetsNoCcRecord) {
  Queue({"BRAVO::SYSTEM", "BRAVO::NOSUCHUSER"},
        "From: SYSTEM\r\nTo: VAX2::SYSTEM\r\nCc: VAX2::OTHER\r\nSubject: Test message\r\n\r\n", kVmsText);
  std::vector<PeerStep> script = VmsPeerScript();
  script.erase(script.begin() + 9);  // the CC record
  Mail11Peer peer(*nodes_->bravo, {}, script);
  s_.Drain();
  peer.Finish();
  EXPECT_EQ(peer.faults(), Names{}) << s_.LogText();
  ExpectQueueEmpty();
  EXPECT_TRUE(Contains(OnlyReport(), mail11::test::kNoSuchUserText));
}

// Both leave every remote recipient queued, so that the retry schedule takes them
// up again; nothing is reported yet.
TEST_F(RemoteDeliveryTest, AnAnswerWeCannotSpeakToOrABrokenLinkLeavesTheRecipientQueued) {
  struct Row {
    const char* name;
    decnet::Message confirm;
    std::vector<PeerStep> script;
    uint32_t event;
    std::string text;
  };
  decnet::Message unasked = mail11::test::kVmsConfirmData;
  unasked[8] = 0x22;  // CC and block mode, which we never ask for
  std::vector<PeerStep> mid_body = UpToBody();
  mid_body.push_back(Expect(Bytes("line 1")));
  mid_body.push_back(Do(PeerStep::kBreak));
  const Row rows[] = {
      {"an option not proposed", unasked, {}, EVT_PROTOCOL_ERROR,
       "Invalid item; cannot accept a mail-11 option which wasn't proposed."},
      {"a disconnect in the body", mail11::test::kVmsConfirmData, mid_body, EVT_SEND_ERROR,
       "Error sending to node BRAVO."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(s_.queue() + "remote.mai");
    std::filesystem::remove(s_.queue() + "remote.sta");
    Queue({"bob", "BRAVO::SYSTEM"}, kVmsHeader, "line 1\r\nline 2\r\nline 3\r\n");
    const size_t bob_before = s_.Messages("bob").size();
    {
      Mail11Peer peer(*nodes_->bravo, row.confirm, row.script);
      s_.Drain();
      peer.Finish();
      EXPECT_EQ(peer.faults(), Names{});
      EXPECT_TRUE(peer.connected());
    }
    ExpectStillQueued();
    EXPECT_EQ(s_.Messages("bob").size(), bob_before + 1);
    const std::string journal = Journal();
    EXPECT_TRUE(Contains(journal, "done 0")) << journal;
    EXPECT_FALSE(Contains(journal, "done 1")) << journal;
    EXPECT_TRUE(s_.Logged(row.event)) << s_.LogText();
    EXPECT_TRUE(Contains(s_.LogText(), row.text)) << s_.LogText();

    // The next attempt finds a willing peer: bob is not served twice.
    Mail11Peer again(*nodes_->bravo, mail11::test::kVmsConfirmData, WholeMessageToSystem());
    s_.Drain();
    again.Finish();
    EXPECT_EQ(again.faults(), Names{}) << s_.LogText();
    EXPECT_EQ(again.body(), (Names{"line 1", "line 2", "line 3"}));
    ExpectQueueEmpty();
    EXPECT_EQ(s_.Messages("bob").size(), bob_before + 1);
    EXPECT_EQ(s_.Messages("system"), Names{});
  }
}

TEST_F(RemoteDeliveryTest, ASilentPeerIsGivenUpWithinTheTimeout) {
  Queue({"BRAVO::SYSTEM"}, kVmsHeader, kVmsText);
  Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, {Do(PeerStep::kSilence)});
  const auto start = std::chrono::steady_clock::now();
  s_.Drain();
  const auto took = std::chrono::steady_clock::now() - start;
  peer.Finish();
  EXPECT_LT(took, 8s) << "the wait is 2 s a step";
  EXPECT_GE(took, 2s);
  ExpectStillQueued();
  EXPECT_TRUE(s_.Logged(EVT_SEND_ERROR));
  EXPECT_TRUE(Contains(s_.LogText(), "Connection timed out.")) << s_.LogText();
}

// Causes that need no link: settled at once, final only when the address is at fault.
TEST_F(RemoteDeliveryTest, WhatCannotGoOutIsSettledWithoutALink) {
  struct Row {
    const char* name;
    std::string address;
    std::function<void(ServiceSandbox&)> setup;
    bool final;
    std::string text;
  };
  const Row rows[] = {
      {"unknown node", "NOWHERE::SMITH", {}, true, "No such node."},
      {"no DECnet configuration", "BRAVO::SMITH", [](ServiceSandbox& s) { s.UseNetwork(nullptr, 2s); }, false,
       "This node has no DECnet configuration"},
      {"no sender links allowed", "BRAVO::SMITH", [](ServiceSandbox& s) { s.SetSystemNumber("SendThreadLimit", 0); },
       false, "SendThreadLimit is 0"},
      {"no gateway", "jo@host.example", {}, false, "gateway name unknown"},
      {"a gateway nobody knows", "jo@host.example",
       [](ServiceSandbox& s) {
         s.UpdateSystem([](MailSystemProfile& p) { std::strcpy(p.ExternalGateway, "NOGATE"); });
       },
       false, "NOGATE is not in this node's DECnet node database"},
      {"nothing bound to object 27", "BRAVO::SMITH", {}, false, "Connection refused. (DECnet reason 4)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    s_.UseNetwork(nodes_->alpha.get(), 2s);
    s_.SetSystemNumber("SendThreadLimit", 8);
    s_.UpdateSystem([](MailSystemProfile& p) { std::strcpy(p.ExternalGateway, "\x7F"); });
    if (row.setup) row.setup(s_);
    const size_t logged_before = s_.LogText().size();
    const size_t bob_before = s_.Messages("bob").size();
    const size_t reports_before = s_.Messages("system").size();
    Queue({"bob", row.address}, kVmsHeader, kVmsText);
    s_.Drain();
    const std::string logged = s_.LogText().substr(logged_before);
    EXPECT_EQ(s_.Messages("bob").size(), bob_before + 1) << "the local recipient is not held up";
    if (row.final) {
      ExpectQueueEmpty();
      const auto reports = s_.Contents("system");
      ASSERT_EQ(reports.size(), reports_before + 1) << logged;
      EXPECT_TRUE(Contains(reports.back(), row.text)) << reports.back();
    } else {
      EXPECT_EQ(s_.QueueFiles(), (Names{"remote.mai", "remote.sta"})) << logged;
      EXPECT_EQ(s_.Messages("system").size(), reports_before);
      EXPECT_TRUE(Contains(logged, row.text)) << logged;
      std::filesystem::remove(s_.queue() + "remote.mai");
      std::filesystem::remove(s_.queue() + "remote.sta");
    }
  }
}

// A route and a foreign address through the gateway share BRAVO's one link.
TEST_F(RemoteDeliveryTest, RelayedAndForeignRecipientsGoToTheirNextNodeOnOneLink) {
  s_.UpdateSystem([](MailSystemProfile& p) { std::strcpy(p.ExternalGateway, "BRAVO"); });
  Queue({"BRAVO::CHARLY::SMITH", "jo@host.example"}, kVmsHeader, kVmsText);
  std::vector<PeerStep> script = {Expect(Bytes("SYSTEM      ")),       Expect(Bytes("CHARLY::SMITH")), Answer(kSuccess),
                                  Expect(Bytes("\"jo@host.example\"")), Answer(kSuccess),               Expect(kEnd),
                                  Expect(Bytes("VAX2::SYSTEM")),        Expect({}),
                                  Expect(Bytes("Test message")),        Do(PeerStep::kBody),
                                  Answer(kSuccess),                     Answer(kSuccess)};
  Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, script);
  s_.Drain();
  peer.Finish();
  EXPECT_EQ(peer.faults(), Names{}) << s_.LogText();
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("system"), Names{});
}

// The body as the control file holds it: 5 MB of lines, and a line of one NUL byte,
// which would read as the end of the message and goes as an empty line instead.
TEST_F(RemoteDeliveryTest, TheBodyArrivesLineForLine) {
  std::string big;
  const std::string line(98, 'x');
  while (big.size() < 5 * 1024 * 1024) big += std::to_string(big.size()) + line.substr(0, 90) + "\r\n";
  struct Row {
    const char* name;
    std::string text;
    Names lines;
  };
  const Row rows[] = {
      {"5 MB", big, LinesOf(big)},
      {"a NUL line", std::string("a\r\n\0\r\n\0b\r\n", 10), {"a", "", std::string("\0b", 2)}},
      {"no line end at the end", "a\r\nb", {"a", "b"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Queue({"BRAVO::SYSTEM"}, kVmsHeader, row.text);
    Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, WholeMessageToSystem());
    s_.UseNetwork(nodes_->alpha.get(), 10s);
    s_.Drain();
    peer.Finish();
    EXPECT_EQ(peer.faults(), Names{}) << s_.LogText();
    EXPECT_TRUE(peer.body() == row.lines) << peer.body().size() << " lines";
    ExpectQueueEmpty();
  }
}

// The peer has the message but the journal cannot say so: the recipient is sent
// again on the next attempt. A duplicate, never a loss.
TEST_F(RemoteDeliveryTest, AJournalThatCannotRecordTheSuccessSendsAgainRatherThanLose) {
  platform::fault::Scope faults;
  Queue({"BRAVO::SYSTEM"}, kVmsHeader, kVmsText);
  std::vector<PeerStep> script = UpToBody();
  script.push_back(Do(PeerStep::kBody));
  script.push_back({PeerStep::kRun, {}, [] { platform::fault::FailNth(platform::fault::Op::Write, 1, 112); }});
  script.push_back(Answer(kSuccess));
  {
    Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, script);
    s_.Drain();
    peer.Finish();
    EXPECT_EQ(peer.faults(), Names{});
  }
  platform::fault::Clear();
  EXPECT_TRUE(s_.Logged(EVT_FILE_WRITE)) << s_.LogText();
  ASSERT_EQ(s_.QueueFiles().size(), 2u);
  EXPECT_FALSE(Contains(Journal(), "done 0"));
  Mail11Peer again(*nodes_->bravo, mail11::test::kVmsConfirmData, WholeMessageToSystem());
  s_.Drain();
  again.Finish();
  EXPECT_EQ(again.faults(), Names{});
  EXPECT_EQ(again.body(), mail11::test::kVmsBody);
  ExpectQueueEmpty();
}

// A stop asked for while BRAVO's link is open lets that link finish; CHARLY's group
// is left for the next start, and BRAVO's recipient is not sent again then.
TEST_F(RemoteDeliveryTest, AStopIsHonouredBetweenNodeGroups) {
  Queue({"BRAVO::SYSTEM", "CHARLY::SMITH"}, kVmsHeader, kVmsText);
  service::ServiceSettings settings;
  ASSERT_EQ(GetSystemProfile(&settings.system), 0u);
  settings.node = ServiceSandbox::Node();
  settings.network = nodes_->alpha.get();
  settings.send_timeout = 2s;
  std::string logged;
  const service::EventLog log([&](uint32_t, const std::string& text) { logged += text + "\n"; });
  std::atomic<bool> stop{false};
  std::vector<PeerStep> script = UpToBody();
  script.push_back(Do(PeerStep::kBody));
  script.push_back({PeerStep::kRun, {}, [&stop] { stop = true; }});
  script.push_back(Answer(kSuccess));
  {
    Mail11Peer peer(*nodes_->bravo, mail11::test::kVmsConfirmData, script);
    EXPECT_EQ(service::RunControlJob(settings, log, "remote.mai", stop, std::time(nullptr)),
              service::JobStatus::kStopped);
    peer.Finish();
    EXPECT_EQ(peer.faults(), Names{});
  }
  EXPECT_TRUE(Contains(Journal(), "done 0"));
  EXPECT_FALSE(Contains(logged, "CHARLY")) << logged;

  stop = false;
  EXPECT_EQ(service::RunControlJob(settings, log, "remote.mai", stop, std::time(nullptr)),
            service::JobStatus::kPending);
  EXPECT_TRUE(Contains(logged, "CHARLY")) << logged;
  EXPECT_FALSE(Contains(logged, "node BRAVO")) << "BRAVO was not called again\n" << logged;
  EXPECT_FALSE(Contains(Journal(), "done 1"));
}

TEST(SenderRecord, IsTheUserWithThePersonalNameAsVmsShowsIt) {
  struct Row {
    const char* address;
    const char* from_line;
    const char* record;
  };
  const Row rows[] = {
      {"ann", "ann  (Ann Smith)", "ann \"Ann Smith\""},
      {"ann", "ann  (Jo \"JJ\" Smith)", "ann \"Jo 'JJ' Smith\""},
      {"ann", "ann  (2nd Jo)", "ann"},  // a name that breaks the rules is left out
      {"ann", "ann  (Jo", "ann"},
      {"ann", "ann", "ann"},
      {"HERE::ann", "HERE::ann  (Ann)", "ann \"Ann\""},
      {"BRAVO::SMITH", "BRAVO::SMITH", "BRAVO::SMITH"},
      {"jo@host", "jo@host", "\"jo@host\""},
      {"", "", "PELLAM"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(service::SenderRecord(row.address, row.from_line, "HERE"), row.record) << row.from_line;
  }
  EXPECT_EQ(service::QuoteForeign("\"a b\"@host"), "\"\"\"a b\"\"@host\"");
}

}  // namespace
}  // namespace pellam::test
