// The sending conversation against a scripted receiver: the reported VMS stream byte
// for byte, the old form, a break or silence after each record (each recipient gets
// the right result), garbage statuses, a failing body source and a 5 MB text.
#include <gtest/gtest.h>

#include "mail11/sender.h"
#include "vms_stream.h"

namespace pellam::mail11::test {
namespace {

using namespace std::chrono_literals;
using Kind = RecipientResult::Kind;

BodySource LinesOf(std::vector<std::string> lines) {
  return [lines = std::move(lines), next = size_t{0}](std::string& line) mutable {
    if (next == lines.size()) return NextLine::kEnd;
    line = lines[next++];
    return NextLine::kLine;
  };
}

OutgoingMessage VmsMessage() {
  return {"SYSTEM", {"SYSTEM", "NOSUCHUSER"}, "VAX2::SYSTEM", "", "Test message", LinesOf(kVmsBody)};
}

const SendTimeouts kTimeouts{1s, 1s};

TEST(Mail11Sender, SpeaksTheVmsStreamByteForByte) {
  ScriptedLink link(PlayAs(false, VmsConversation()));
  const std::vector<RecipientResult> results = SendMessage(link, Terms{true}, VmsMessage(), kTimeouts);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].kind, Kind::kDelivered);
  EXPECT_EQ(results[1].kind, Kind::kRefused);
  EXPECT_EQ(results[1].status.condition, kNoSuchUserCondition);
  EXPECT_EQ(results[1].status.text, std::vector<std::string>{kNoSuchUserText});
  EXPECT_TRUE(link.disconnected());
  EXPECT_FALSE(link.aborted());
}

TEST(Mail11Sender, OldFormSendsNoCcRecord) {
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 9);
  ScriptedLink link(PlayAs(false, records));
  OutgoingMessage message = VmsMessage();
  message.cc = "NOT::SENT";
  const auto results = SendMessage(link, Terms{false}, message, kTimeouts);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_EQ(results[0].kind, Kind::kDelivered);
}

// Open question: a line of one NUL byte would read as the end of message at the peer,
// so it goes as an empty line; a line of NUL and more goes unchanged.
TEST(Mail11Sender, ANulOnlyLineGoesAsAnEmptyRecord) {
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 3, records.begin() + 7);
  const size_t body = records.size() - 5;
  records.erase(records.begin() + body, records.begin() + body + 3);
  records.insert(records.begin() + body, {{true, {}}, {true, Hex("00 41")}, {true, {}}});
  ScriptedLink link(PlayAs(false, records));
  OutgoingMessage message = VmsMessage();
  message.recipients = {"SYSTEM"};
  message.body = LinesOf({std::string(1, '\0'), std::string("\0A", 2), ""});
  const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_EQ(results[0].kind, Kind::kDelivered);
}

// The receiver breaks or goes silent where it would speak next (or the link fails
// under one of our sends). A refusal already heard stands; everything else is
// deferred with the link's error, and the link is aborted.
TEST(Mail11Sender, ALinkThatFailsAnywhereDefersWhatIsNotSettled) {
  const std::vector<Record> records = VmsConversation();
  for (const Step::Kind stop : {Step::kBreak, Step::kSilence}) {
    for (size_t cut = 0; cut < records.size(); ++cut) {
      std::vector<Step> script = PlayAs(false, records, cut);
      script.push_back({stop, {}});
      ScriptedLink link(script);
      const auto results = SendMessage(link, Terms{true}, VmsMessage(), kTimeouts);
      SCOPED_TRACE("cut after " + std::to_string(cut) + (stop == Step::kBreak ? " (break)" : " (silence)"));
      EXPECT_TRUE(link.faults().empty()) << ::testing::PrintToString(link.faults());
      EXPECT_TRUE(link.aborted());
      const decnet::LinkError error =
          stop == Step::kBreak ? decnet::LinkError::kDisconnected : decnet::LinkError::kTimeout;
      EXPECT_EQ(results[0].kind, Kind::kDeferred);
      EXPECT_EQ(results[0].link_error, error);
      const bool refusal_heard = cut >= 7;  // NOSUCHUSER's status, through its 00 end
      EXPECT_EQ(results[1].kind, refusal_heard ? Kind::kRefused : Kind::kDeferred);
      if (!refusal_heard) {
        EXPECT_EQ(results[1].link_error, error);
      }
    }
  }
}

TEST(Mail11Sender, GarbageStatusesDeferWithAProtocolError) {
  const std::vector<decnet::Message> garbage[] = {
      {Hex("01 00 00")},                    // short condition
      {Hex("01 00 00 00 00")},              // long condition
      {Hex("12 81 7e 00"), Hex("00")},      // failure without text
  };
  for (const auto& answer : garbage) {
    std::vector<Step> script = {FromUs(Bytes("SYSTEM      ")), FromUs(Bytes("SYSTEM"))};
    for (const auto& record : answer) script.push_back(ToUs(record));
    ScriptedLink link(script);
    OutgoingMessage message = VmsMessage();
    message.recipients = {"SYSTEM"};
    const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
    SCOPED_TRACE(Show(answer.front()));
    EXPECT_EQ(results[0].kind, Kind::kDeferred);
    EXPECT_TRUE(results[0].protocol_error);
    EXPECT_TRUE(link.aborted());
  }
}

TEST(Mail11Sender, TooManyFailureTextRecordsIsAProtocolError) {
  std::vector<Step> script = {FromUs(Bytes("SYSTEM      ")), FromUs(Bytes("SYSTEM")), ToUs(Hex("12 81 7e 00"))};
  for (size_t i = 0; i <= kMaxStatusTextRecords; ++i) script.push_back(ToUs(Bytes("x")));
  ScriptedLink link(script);
  OutgoingMessage message = VmsMessage();
  message.recipients = {"SYSTEM"};
  const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
  EXPECT_EQ(results[0].kind, Kind::kDeferred);
  EXPECT_TRUE(results[0].protocol_error);
}

TEST(Mail11Sender, AllRefusedSendsNoText) {
  ScriptedLink link({FromUs(Bytes("SYSTEM      ")), FromUs(Bytes("NOSUCHUSER")), ToUs(Hex("12 81 7e 00")),
                     ToUs(Bytes(kNoSuchUserText)), ToUs(Hex("00"))});
  OutgoingMessage message = VmsMessage();
  message.recipients = {"NOSUCHUSER"};
  const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_EQ(results[0].kind, Kind::kRefused);
  EXPECT_TRUE(link.disconnected());
}

TEST(Mail11Sender, ABodySourceThatFailsNeverSendsTheEnd) {
  std::vector<Record> records = VmsConversation();
  records.resize(12);  // through the first body line
  ScriptedLink link(PlayAs(false, records));
  OutgoingMessage message = VmsMessage();
  message.body = [n = 0](std::string& line) mutable {
    if (n++ == 1) return NextLine::kFailed;
    line = "Hello,";
    return NextLine::kLine;
  };
  const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_TRUE(link.aborted());
  EXPECT_EQ(results[0].kind, Kind::kDeferred);
  EXPECT_EQ(results[1].kind, Kind::kRefused);
}

// A receiver that checks a 5 MB text line by line as it arrives, holding none of it.
class CheckingReceiver : public ScriptedLink {
 public:
  using ScriptedLink::ScriptedLink;
  decnet::Outcome Send(const decnet::Message& message, std::chrono::milliseconds timeout) override {
    if (!played_whole() || done_) return ScriptedLink::Send(message, timeout);
    if (message == Hex("00")) {
      done_ = true;
      return {};
    }
    in_order_ = in_order_ && message.size() == 100 && message[0] == 'a' + lines_ % 26;
    ++lines_;
    return {};
  }
  decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds timeout) override {
    if (done_ && !answered_) {
      answered_ = true;
      message = Hex("01 00 00 00");
      return {};
    }
    return ScriptedLink::Receive(message, timeout);
  }
  size_t lines_ = 0;
  bool in_order_ = true, done_ = false, answered_ = false;
};

TEST(Mail11Sender, StreamsAFiveMegabyteText) {
  constexpr size_t kLines = 5 * 1024 * 1024 / 100;
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 3, records.begin() + 7);
  records.resize(records.size() - 5);
  CheckingReceiver link(PlayAs(false, records));
  OutgoingMessage message = VmsMessage();
  message.recipients = {"SYSTEM"};
  message.body = [n = size_t{0}](std::string& line) mutable {
    if (n == kLines) return NextLine::kEnd;
    line.assign(100, static_cast<char>('a' + n++ % 26));
    return NextLine::kLine;
  };
  const auto results = SendMessage(link, Terms{true}, message, kTimeouts);
  EXPECT_EQ(link.lines_, kLines);
  EXPECT_TRUE(link.in_order_);
  EXPECT_EQ(results[0].kind, Kind::kDelivered);
}

}  // namespace
}  // namespace pellam::mail11::test
