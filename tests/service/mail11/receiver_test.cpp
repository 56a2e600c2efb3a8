// The receiving conversation against a scripted sender: the reported VMS stream byte
// for byte, the old form without CC, a peer that breaks or falls silent after any
// record (nothing delivered), a store that fails, and a 5 MB text streamed through.
#include <gtest/gtest.h>

#include "mail11/receiver.h"
#include "pellam_status.h"
#include "vms_stream.h"

namespace pellam::mail11::test {
namespace {

using namespace std::chrono_literals;

// Accepts every recipient but NOSUCHUSER; keeps what the conversation hands over.
struct Recorder {
  Envelope header;
  std::vector<std::string> lines;
  std::vector<size_t> delivered;
  bool store_ok = true;
  std::vector<std::string>* journal = nullptr;

  ReceiverCallbacks Callbacks() {
    ReceiverCallbacks c;
    c.check = [](const Envelope&, std::string_view recipient) {
      if (recipient == "NOSUCHUSER") return Status{kNoSuchUserCondition, {kNoSuchUserText}};
      return Status{};
    };
    c.begin_text = [this](const Envelope& e) {
      header = e;
      return true;
    };
    c.body_line = [this](std::string_view line) {
      lines.emplace_back(line);
      return store_ok;
    };
    c.deliver = [this](const Envelope&, size_t index) {
      if (journal) journal->push_back("deliver " + std::to_string(index));
      delivered.push_back(index);
      return Status{};
    };
    return c;
  }
};

TEST(Mail11Receiver, AnswersTheVmsStreamByteForByte) {
  ScriptedLink link(PlayAs(true, VmsConversation()));
  Recorder recorder;
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_TRUE(result.complete) << result.reason;
  EXPECT_EQ(result.delivered, 1u);
  EXPECT_EQ(recorder.header.sender, "SYSTEM");
  EXPECT_EQ(recorder.header.recipients, std::vector<std::string>{"SYSTEM"});
  EXPECT_EQ(recorder.header.to, "VAX2::SYSTEM");
  EXPECT_EQ(recorder.header.cc, "");
  EXPECT_EQ(recorder.header.subject, "Test message");
  EXPECT_EQ(recorder.lines, kVmsBody);
  EXPECT_EQ(recorder.delivered, std::vector<size_t>{0});
  EXPECT_TRUE(link.disconnected());
}

TEST(Mail11Receiver, OldFormHasNoCcRecord) {
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 9);  // the CC record
  ScriptedLink link(PlayAs(true, records));
  Recorder recorder;
  const ReceiveResult result = ReceiveMessage(link, Terms{false}, recorder.Callbacks(), 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(recorder.header.subject, "Test message");
  EXPECT_EQ(recorder.lines, kVmsBody);
}

TEST(Mail11Receiver, FinalStatusGoesOnlyAfterDeliveryReturned) {
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 3, records.begin() + 7);  // only SYSTEM
  records.insert(records.begin() + 3, {{true, Bytes("FIELD")}, {false, Hex("01 00 00 00")}});
  records.push_back({false, Hex("01 00 00 00")});
  ScriptedLink link(PlayAs(true, records));
  std::vector<std::string> journal;
  link.journal = &journal;
  Recorder recorder;
  recorder.journal = &journal;
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_EQ(result.delivered, 2u);
  const std::vector<std::string> tail(journal.end() - 4, journal.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"deliver 0", "send [01 00 00 00]", "deliver 1", "send [01 00 00 00]"}));
}

TEST(Mail11Receiver, AFailedDeliveryAnswersAFailureStatus) {
  ScriptedLink link(PlayAs(true, [] {
    std::vector<Record> r = VmsConversation();
    r.back() = {false, Hex("0c 80 00 c1")};  // ERR_CANNOT_RECEIVE, little-endian
    r.push_back({false, Bytes("User SYSTEM cannot receive new mail.")});
    r.push_back({false, Hex("00")});
    return r;
  }()));
  Recorder recorder;
  ReceiverCallbacks callbacks = recorder.Callbacks();
  callbacks.deliver = [](const Envelope&, size_t) {
    return Status{0xC100800C, {"User SYSTEM cannot receive new mail."}};
  };
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, callbacks, 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(result.delivered, 0u);
}

// Every prefix of the conversation, then a break or silence: whatever the peer had
// sent, nothing is delivered and the reason says what was awaited.
TEST(Mail11Receiver, APeerThatStopsAnywhereDeliversNothing) {
  const std::vector<Record> records = VmsConversation();
  const size_t last_sender_record = records.size() - 2;  // the end of message
  for (const Step::Kind stop : {Step::kBreak, Step::kSilence}) {
    for (size_t cut = 0; cut <= last_sender_record; ++cut) {
      if (!records[cut].from_sender) continue;  // the peer stops only where it would speak
      std::vector<Step> script = PlayAs(true, records, cut);
      script.push_back({stop, {}});
      ScriptedLink link(script);
      Recorder recorder;
      const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
      SCOPED_TRACE("cut after " + std::to_string(cut) + (stop == Step::kBreak ? " (break)" : " (silence)"));
      EXPECT_TRUE(link.faults().empty()) << ::testing::PrintToString(link.faults());
      EXPECT_FALSE(result.complete);
      EXPECT_TRUE(recorder.delivered.empty());
      EXPECT_TRUE(link.aborted());
      EXPECT_EQ(result.link_error, stop == Step::kBreak ? decnet::LinkError::kDisconnected
                                                        : decnet::LinkError::kTimeout);
      EXPECT_NE(result.reason.find(stop == Step::kBreak ? "link failed" : "went silent"), std::string::npos)
          << result.reason;
    }
  }
}

TEST(Mail11Receiver, AStoreThatFailsDropsTheLinkAndDeliversNothing) {
  std::vector<Record> records = VmsConversation();
  records.resize(12);  // up to the first body line; the peer is cut off there
  ScriptedLink link(PlayAs(true, records));
  Recorder recorder;
  recorder.store_ok = false;
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_FALSE(result.complete);
  EXPECT_TRUE(recorder.delivered.empty());
  EXPECT_TRUE(link.aborted());
}

TEST(Mail11Receiver, EndlessRecipientsAreTakenForGarbage) {
  std::vector<Step> script = {ToUs(Bytes("SYSTEM      "))};
  for (size_t i = 0; i <= kMaxRecipientRecords; ++i) {
    script.push_back(ToUs(Bytes("SYSTEM")));
    if (i < kMaxRecipientRecords) script.push_back(FromUs(Hex("01 00 00 00")));
  }
  ScriptedLink link(script);
  Recorder recorder;
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
  EXPECT_TRUE(link.played_whole()) << ::testing::PrintToString(link.faults());
  EXPECT_TRUE(result.protocol_error);
  EXPECT_FALSE(result.complete);
  EXPECT_TRUE(link.aborted());
  EXPECT_TRUE(recorder.delivered.empty());
}

// Open question: a body line of one NUL byte cannot be told from the end of message,
// so the receiver takes it as the end; what follows is out of step and never delivered.
TEST(Mail11Receiver, AOneByteNulRecordEndsTheText) {
  std::vector<Record> records = VmsConversation();
  records.insert(records.end() - 2, {true, Hex("00")});  // "a NUL line" before the real end
  ScriptedLink link(PlayAs(true, records));
  Recorder recorder;
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, recorder.Callbacks(), 1s);
  EXPECT_EQ(recorder.lines, (std::vector<std::string>{"Hello,", "", "a line after an empty one."}));
  EXPECT_TRUE(result.complete);  // the peer then gets a status where it sends: its sender sees the fault
  EXPECT_FALSE(link.faults().empty());
}

// A sender whose 5 MB text is produced as it is read: the receiver must pass each
// line on and never need the whole message.
class GeneratingSender : public ScriptedLink {
 public:
  GeneratingSender(size_t lines, std::vector<Step> head) : ScriptedLink(std::move(head)), lines_(lines) {}
  decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds timeout) override {
    if (!played_whole()) return ScriptedLink::Receive(message, timeout);
    if (sent_ < lines_) {
      message.assign(100, static_cast<uint8_t>('a' + sent_++ % 26));
      return {};
    }
    if (sent_++ == lines_) {
      message = Hex("00");
      return {};
    }
    return {decnet::LinkError::kDisconnected, 0, {}};
  }
  decnet::Outcome Send(const decnet::Message& message, std::chrono::milliseconds timeout) override {
    if (!played_whole()) return ScriptedLink::Send(message, timeout);
    final_status_ = message;
    return {};
  }
  decnet::Message final_status_;

 private:
  size_t lines_, sent_ = 0;
};

TEST(Mail11Receiver, StreamsAFiveMegabyteText) {
  constexpr size_t kLines = 5 * 1024 * 1024 / 100;
  std::vector<Record> records = VmsConversation();
  records.erase(records.begin() + 3, records.begin() + 7);
  records.resize(records.size() - 5);  // through the subject
  GeneratingSender link(kLines, PlayAs(true, records));
  size_t lines = 0, bytes = 0;
  bool in_order = true;
  ReceiverCallbacks c = Recorder().Callbacks();
  c.begin_text = [](const Envelope&) { return true; };
  c.body_line = [&](std::string_view line) {
    in_order = in_order && line.size() == 100 && line[0] == static_cast<char>('a' + lines % 26);
    ++lines;
    bytes += line.size();
    return true;
  };
  c.deliver = [](const Envelope&, size_t) { return Status{}; };
  const ReceiveResult result = ReceiveMessage(link, Terms{true}, c, 1s);
  EXPECT_TRUE(result.complete) << result.reason;
  EXPECT_EQ(lines, kLines);
  EXPECT_EQ(bytes, kLines * 100);
  EXPECT_TRUE(in_order);
  EXPECT_EQ(link.final_status_, Hex("01 00 00 00"));
}

}  // namespace
}  // namespace pellam::mail11::test
