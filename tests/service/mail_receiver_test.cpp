// The service's MAIL-11 receiver on BRAVO, with a scripted sender on ALPHA speaking
// over the real DECnet pair: the reported VMS stream byte for byte, refusals with the
// catalogue's texts, the old form without option data, long and odd texts, senders
// that break off or idle, the thread limit, relaying with the hop limit, binding that
// must wait, a stop in the middle, and random record streams.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "linked_nodes.h"
#include "mail11/options.h"
#include "mail11/records.h"
#include "mail_receiver.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "service_sandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using pellam::mail11::Status;
using pellam::service::MailReceiver;
using pellam::test::HeaderValue;
using Names = std::vector<std::string>;

decnet::Message Bytes(std::string_view text) { return decnet::Message(text.begin(), text.end()); }
std::string Text(const decnet::Message& m) { return std::string(m.begin(), m.end()); }
const decnet::Message kEnd = {0};
// The reported VMS V7.3 connect and confirm data: wants CC, accepts CC.
const decnet::Message kVmsConnect = {3, 1, 0, 7, 0, 0, 0, 0, 0x10, 0, 0, 0, 2, 2, 0, 0};
const decnet::Message kSuccess = {1, 0, 0, 0};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Events from the receiver's threads, kept for the test to look at.
class Events {
 public:
  pellam::service::EventLog Log() {
    return pellam::service::EventLog([this](uint32_t code, const std::string& text) {
      std::lock_guard lock(mutex_);
      events_.emplace_back(code, text);
    });
  }
  bool Has(uint32_t code, const std::string& part = {}) const {
    std::lock_guard lock(mutex_);
    for (const auto& [c, text] : events_) {
      if (c == code && Contains(text, part)) return true;
    }
    return false;
  }
  // Waits up to 5 s for the event.
  bool Await(uint32_t code, const std::string& part = {}) const {
    for (int i = 0; i < 500 && !Has(code, part); ++i) std::this_thread::sleep_for(10ms);
    return Has(code, part);
  }
  std::string All() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& [c, text] : events_) all += std::to_string(c) + " " + text + "\n";
    return all;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<uint32_t, std::string>> events_;
};

// A sender on ALPHA that the test scripts record by record.
class Sender {
 public:
  explicit Sender(std::unique_ptr<decnet::Link> link) : link_(std::move(link)) {}
  bool connected() const { return link_ != nullptr; }
  decnet::Link& link() { return *link_; }

  void Send(const decnet::Message& record) {
    const decnet::Outcome outcome = link_->Send(record, 5s);
    ASSERT_TRUE(outcome) << "sending " << Text(record);
  }
  void Send(std::string_view text) { Send(Bytes(text)); }
  // The next record from the receiver; nothing when the link ended or 5 s passed.
  std::optional<decnet::Message> Next(std::chrono::milliseconds wait = 5s) {
    decnet::Message record;
    last_ = link_->Receive(record, wait);
    if (!last_) return std::nullopt;
    return record;
  }
  // A whole status, read record by record.
  std::optional<Status> ReadStatus() {
    pellam::mail11::StatusReader reader;
    for (;;) {
      const auto record = Next();
      if (!record) return std::nullopt;
      const auto state = reader.Feed(*record);
      if (state == pellam::mail11::StatusReader::State::kDone) return reader.status();
      if (state == pellam::mail11::StatusReader::State::kBad) return std::nullopt;
    }
  }
  const decnet::Outcome& last() const { return last_; }

 private:
  std::unique_ptr<decnet::Link> link_;
  decnet::Outcome last_;
};

// What a whole conversation came to, as the sender saw it.
struct Answers {
  std::vector<Status> recipients;  // one per recipient record
  std::vector<Status> finals;      // one per accepted recipient
};

struct Message {
  std::string sender = "SMITH       ";
  std::vector<std::string> recipients;
  std::string to = "BRAVO::BOB", cc, subject = "Greetings";
  std::vector<std::string> body = {"Hello,", "", "a line after an empty one."};
};

class MailReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "delivery takes each recipient's identity, which needs root";
    s_ = std::make_unique<pellam::test::ServiceSandbox>();
    s_->AddUser("bob", 1001);
    s_->AddUser("carol", 1002);
    s_->AddUser("dave", 1003, /*registered=*/false);
    s_->AddUser("system", 1004);
    std::string error;
    nodes_ = pellam::test::StartLinkedNodes(&error);
    ASSERT_TRUE(nodes_.alpha && nodes_.bravo) << error;
  }
  void TearDown() override {
    receiver_.reset();
    platform::fault::Clear();
  }

  void StartReceiver(MailReceiver::Limits limits = Quick()) {
    ASSERT_EQ(GetSystemProfile(&settings_.system), 0u);
    settings_.node = "BRAVO";
    settings_.network = nodes_.bravo.get();
    receiver_ = std::make_unique<MailReceiver>(settings_, log_, limits);
    receiver_->Start();
    for (int i = 0; i < 500 && !receiver_->ready(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(receiver_->ready()) << events_.All();
  }
  static MailReceiver::Limits Quick() {
    MailReceiver::Limits limits;
    limits.timeout = 3s;
    limits.threads = 2;
    limits.bind_retry = 50ms;
    return limits;
  }

  Sender Connect(const decnet::Message& data = kVmsConnect, decnet::Outcome* outcome = nullptr) {
    decnet::ConnectRequest request;
    request.node = pellam::test::kBravo;
    request.destination.object = 27;
    request.source.format = 1;
    request.source.name = "MAIL";
    request.user_data = data;
    decnet::Outcome local;
    return Sender(nodes_.alpha->Connect(request, 5s, outcome != nullptr ? outcome : &local));
  }

  // Speaks the whole message; CC only when `cc`.
  Answers Converse(Sender& sender, const Message& m, bool cc = true) {
    Answers answers;
    sender.Send(m.sender);
    for (const std::string& r : m.recipients) {
      sender.Send(r);
      const auto status = sender.ReadStatus();
      EXPECT_TRUE(status) << "status for " << r << "\n" << events_.All();
      if (!status) return answers;
      answers.recipients.push_back(*status);
    }
    sender.Send(kEnd);
    sender.Send(m.to);
    if (cc) sender.Send(m.cc);
    sender.Send(m.subject);
    for (const std::string& line : m.body) sender.Send(line);
    sender.Send(kEnd);
    for (const Status& s : answers.recipients) {
      if (!s.success()) continue;
      const auto status = sender.ReadStatus();
      EXPECT_TRUE(status) << "final status\n" << events_.All();
      if (!status) return answers;
      answers.finals.push_back(*status);
    }
    return answers;
  }

  std::string OnlyMessage(const std::string& user) {
    const auto contents = s_->Contents(user);
    EXPECT_EQ(contents.size(), 1u) << "messages of " << user << "\n" << events_.All();
    return contents.empty() ? std::string() : contents[0];
  }
  Names TempFiles() const {
    Names names;
    for (const auto& entry : fs::directory_iterator(settings_.system.MailTempPath)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  // Waits until no conversation is left (at most 10 s).
  void AwaitIdle() {
    for (int i = 0; i < 1000 && receiver_->conversations() != 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(receiver_->conversations(), 0u);
  }

  std::unique_ptr<pellam::test::ServiceSandbox> s_;
  pellam::test::LinkedNodes nodes_;
  Events events_;
  pellam::service::EventLog log_ = events_.Log();
  pellam::service::ServiceSettings settings_;
  std::unique_ptr<MailReceiver> receiver_;
};

std::string Condition(const Status& s) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", s.condition);
  return text;
}

TEST_F(MailReceiverTest, TheReportedVmsStreamIsAnsweredAndDeliveredIntoNew) {
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  const decnet::Message& confirm = sender.link().accept_data();
  ASSERT_EQ(confirm.size(), 16u);
  EXPECT_EQ(confirm[0], 3);
  EXPECT_EQ(confirm[8], 0x20) << "CC granted, nothing else";
  // The records of the capture, in order; only the refusal's text is our own.
  sender.Send("SYSTEM      ");
  sender.Send("SYSTEM");
  EXPECT_EQ(sender.Next(), kSuccess);
  sender.Send("NOSUCHUSER");
  EXPECT_EQ(sender.Next(), (decnet::Message{0x02, 0x00, 0x00, 0xC1})) << "ERR_NO_SUCH_USER, even: a failure";
  EXPECT_EQ(sender.Next(), Bytes("No such user NOSUCHUSER at BRAVO."));
  EXPECT_EQ(sender.Next(), kEnd);
  sender.Send(kEnd);
  sender.Send("VAX2::SYSTEM");
  sender.Send(decnet::Message{});
  sender.Send("Test message");
  for (const char* line : {"Hello,", "", "a line after an empty one."}) sender.Send(line);
  sender.Send(kEnd);
  EXPECT_EQ(sender.Next(), kSuccess);
  EXPECT_FALSE(sender.Next(300ms)) << "the receiver has nothing more to say";
  sender.link().Disconnect();

  const std::string message = OnlyMessage("system");
  EXPECT_EQ(message.rfind("Received: by BRAVO; ", 0), 0u) << message;
  MailDate date{};
  EXPECT_EQ(ExtractReceiveDate(HeaderValue(message, "Received").c_str(), &date), 0u);
  EXPECT_GE(date.Year, 2024);
  const size_t header_end = message.find("\r\n\r\n");
  ASSERT_NE(header_end, std::string::npos);
  EXPECT_EQ(message.substr(message.find("\r\n") + 2, header_end + 4 - message.find("\r\n") - 2),
            "From: ALPHA::SYSTEM\r\nTo: VAX2::SYSTEM\r\nSubject: Test message\r\n\r\n")
      << "an empty CC gives no Cc line";
  EXPECT_EQ(message.substr(header_end + 4), "Hello,\r\n\r\na line after an empty one.\r\n");
  AwaitIdle();
  EXPECT_EQ(TempFiles(), Names{}) << "the temporary file goes";
  EXPECT_TRUE(events_.Has(EVT_RECEIVER_READY, "on BRAVO"));
  EXPECT_TRUE(events_.Has(EVT_ADDRESS_REFUSED, "NOSUCHUSER"));
}

TEST_F(MailReceiverTest, EachRecipientIsCheckedAsItArrivesAndRefusedWithItsText) {
  s_->SetProfile("carol", "", -1, 1);  // DisableNewMail
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  Message m;
  m.sender = "SMITH  (Jo Smith)";
  m.recipients = {"nosuch", "BOB", "carol", "dave", "BRAVO::SYSTEM", "\"odd", "NOWHERE::JONES"};
  m.cc = "ALPHA::JONES";
  const Answers answers = Converse(sender, m);
  ASSERT_EQ(answers.recipients.size(), 7u);
  struct Row {
    size_t index;
    bool success;
    uint32_t condition;
    std::string text;
  };
  const Row rows[] = {
      {0, false, ERR_NO_SUCH_USER, "No such user nosuch at BRAVO."},
      {1, true, 1, ""},
      {2, false, ERR_CANNOT_RECEIVE & ~1u, "User carol cannot receive new mail."},
      {3, false, ERR_NOT_REGISTERED & ~1u, "User dave is not a registered receiver of mail at BRAVO."},
      {4, true, 1, ""},
      {5, false, ERR_UNBALANCED_QUOTES & ~1u, "Unbalanced quotes."},
      {6, false, ERR_NO_SUCH_NODE & ~1u, "No such node."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(m.recipients[row.index]);
    const Status& s = answers.recipients[row.index];
    EXPECT_EQ(s.success(), row.success);
    EXPECT_EQ(s.condition, row.condition) << Condition(s);
    if (!row.success) {
      EXPECT_EQ(s.text, std::vector<std::string>{row.text});
    }
  }
  ASSERT_EQ(answers.finals.size(), 2u);
  EXPECT_TRUE(answers.finals[0].success() && answers.finals[1].success());
  for (const char* user : {"bob", "system"}) {
    SCOPED_TRACE(user);
    const std::string message = OnlyMessage(user);
    EXPECT_EQ(HeaderValue(message, "From"), "ALPHA::SMITH  (Jo Smith)");
    EXPECT_EQ(HeaderValue(message, "To"), "BRAVO::BOB");
    EXPECT_EQ(HeaderValue(message, "Cc"), "ALPHA::JONES");
    EXPECT_EQ(HeaderValue(message, "Subject"), "Greetings");
  }
  for (const char* user : {"carol", "dave"}) EXPECT_EQ(s_->Messages(user), Names{}) << user;
}

TEST_F(MailReceiverTest, ASenderWithoutOptionDataSendsNoCcRecord) {
  StartReceiver();
  Sender sender = Connect(decnet::Message{});
  ASSERT_TRUE(sender.connected());
  EXPECT_TRUE(sender.link().accept_data().empty()) << "an old sender reads no confirm data";
  Message m;
  m.recipients = {"bob"};
  m.subject = "Old style";
  const Answers answers = Converse(sender, m, /*cc=*/false);
  ASSERT_EQ(answers.finals.size(), 1u);
  EXPECT_TRUE(answers.finals[0].success());
  const std::string message = OnlyMessage("bob");
  EXPECT_EQ(HeaderValue(message, "Subject"), "Old style") << "the subject was not taken for a CC line";
  EXPECT_TRUE(Contains(message, "\r\n\r\nHello,\r\n\r\na line after")) << message;
}

TEST_F(MailReceiverTest, ModesWeRefuseAreLoggedAndTheLinkGoesOnInRecordMode) {
  StartReceiver();
  decnet::Message wants_block = kVmsConnect;
  wants_block[8] = 0x11;  // block mode and CC
  Sender sender = Connect(wants_block);
  ASSERT_TRUE(sender.connected());
  EXPECT_EQ(sender.link().accept_data()[8], 0x20);
  EXPECT_TRUE(events_.Await(EVT_MODES_REFUSED, "ALPHA")) << events_.All();
  Message m;
  m.recipients = {"bob"};
  EXPECT_EQ(Converse(sender, m).finals.size(), 1u);
  OnlyMessage("bob");
}

TEST_F(MailReceiverTest, OddTextsAreStoredSafely) {
  StartReceiver();
  struct Row {
    const char* name;
    std::vector<std::string> body;
    std::string stored;  // the text after the header section
  };
  const Row rows[] = {
      {"no body at all", {}, ""},
      {"empty lines only", {"", ""}, "\r\n\r\n"},
      {"NUL bytes inside a line are dropped", {std::string("a\0b", 3), std::string("\0\0", 2)}, "ab\r\n\r\n"},
      {"a header line inside the text stays text", {"From: root", "Subject: x"}, "From: root\r\nSubject: x\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Sender sender = Connect();
    ASSERT_TRUE(sender.connected());
    Message m;
    m.recipients = {"bob"};
    m.subject = std::string("line\r\nX-Injected: yes");
    m.body = row.body;
    ASSERT_EQ(Converse(sender, m).finals.size(), 1u);
    const auto contents = s_->Contents("bob");
    ASSERT_FALSE(contents.empty());
    const std::string& message = contents.back();
    EXPECT_EQ(HeaderValue(message, "Subject"), "line  X-Injected: yes");
    EXPECT_EQ(HeaderValue(message, "X-Injected"), "");
    EXPECT_EQ(message.substr(message.find("\r\n\r\n") + 4), row.stored);
  }
}

TEST_F(MailReceiverTest, AFiveMegabyteTextIsStreamedThrough) {
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  Message m;
  m.recipients = {"bob"};
  m.body.clear();
  const std::string line(78, 'x');
  for (size_t i = 0; i < (5u << 20) / 80; ++i) m.body.push_back(std::to_string(i) + line.substr(0, 70));
  const Answers answers = Converse(sender, m);
  ASSERT_EQ(answers.finals.size(), 1u);
  EXPECT_TRUE(answers.finals[0].success());
  const std::string message = OnlyMessage("bob");
  const std::string text = message.substr(message.find("\r\n\r\n") + 4);
  size_t expected = 0;
  for (const std::string& l : m.body) expected += l.size() + 2;
  EXPECT_EQ(text.size(), expected);
  EXPECT_EQ(text.substr(0, 6), "0xxxxx");
  AwaitIdle();
  EXPECT_EQ(TempFiles(), Names{});
}

TEST_F(MailReceiverTest, ASenderThatBreaksOffOrIdlesCostsOnlyItsOwnLink) {
  MailReceiver::Limits limits = Quick();
  limits.timeout = 1s;
  StartReceiver(limits);
  {
    Sender sender = Connect();
    ASSERT_TRUE(sender.connected());
    sender.Send("SMITH");
    sender.Send("bob");
    ASSERT_EQ(sender.Next(), kSuccess);
    sender.Send(kEnd);
    sender.Send("BRAVO::BOB");
    sender.Send("");
    sender.Send("Cut short");
    sender.Send("the first line");
    sender.link().Abort();
  }
  EXPECT_TRUE(events_.Await(EVT_RECEIVE_ERROR, "ALPHA")) << events_.All();
  AwaitIdle();
  EXPECT_EQ(s_->Messages("bob"), Names{}) << "nothing half received is delivered";
  EXPECT_EQ(TempFiles(), Names{}) << "nor left behind";

  Sender idle = Connect();
  ASSERT_TRUE(idle.connected());
  idle.Send("SMITH");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(idle.Next(10s)) << "the receiver drops a silent sender";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
  EXPECT_EQ(idle.last().error, decnet::LinkError::kDisconnected);

  Sender good = Connect();
  ASSERT_TRUE(good.connected());
  Message m;
  m.recipients = {"bob"};
  EXPECT_EQ(Converse(good, m).finals.size(), 1u) << "the receiver still serves others";
  OnlyMessage("bob");
}

TEST_F(MailReceiverTest, ConnectsBeyondTheThreadLimitAreTurnedAwayAsBusy) {
  MailReceiver::Limits limits = Quick();
  limits.threads = 1;
  StartReceiver(limits);
  Sender first = Connect();
  ASSERT_TRUE(first.connected());
  first.Send("SMITH");
  decnet::Outcome outcome;
  Sender second = Connect(kVmsConnect, &outcome);
  EXPECT_FALSE(second.connected());
  EXPECT_EQ(outcome.reason, decnet::kReasonResources);
  EXPECT_TRUE(events_.Await(EVT_CONNECTION_REFUSED, "Receiver busy - thread limit exceeded.")) << events_.All();
  first.Send("bob");  // the first goes on undisturbed
  ASSERT_EQ(first.ReadStatus().value_or(Status{0, {}}).condition, 1u);

  limits.threads = 0;
  receiver_.reset();
  StartReceiver(limits);
  Sender none = Connect(kVmsConnect, &outcome);
  EXPECT_FALSE(none.connected()) << "a limit of 0 receives nothing";
  EXPECT_EQ(outcome.reason, decnet::kReasonResources);
}

TEST_F(MailReceiverTest, ARelayedRecipientIsQueuedWithTheRouteGrownByThisNode) {
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  Message m;
  m.sender = "SMITH  (Jo Smith)";
  m.recipients = {"CHARLY::JONES", "bravo::CHARLY::\"jo@host\""};
  const Answers answers = Converse(sender, m);
  ASSERT_EQ(answers.finals.size(), 2u);
  EXPECT_TRUE(answers.finals[0].success() && answers.finals[1].success());
  const Names queued = s_->QueueFiles();
  ASSERT_EQ(queued.size(), 2u) << events_.All();
  std::vector<std::string> files;
  for (const std::string& name : queued) files.push_back(pellam::test::ReadTextFile(s_->queue() + name));
  for (const char* address : {"CHARLY::JONES", "CHARLY::\"jo@host\""}) {
    SCOPED_TRACE(address);
    int found = 0;
    for (const std::string& file : files) {
      if (!Contains(file, std::string(address) + '\0')) continue;
      ++found;
      EXPECT_TRUE(Contains(file, "From: BRAVO::ALPHA::SMITH  (Jo Smith)\r\nTo: BRAVO::BOB\r\n")) << file;
      EXPECT_TRUE(Contains(file, "\r\n\r\nHello,\r\n\r\na line after an empty one.\r\n")) << file;
    }
    EXPECT_EQ(found, 1);
  }
}

TEST_F(MailReceiverTest, ARouteAtTheHopLimitIsNotRelayedFurther) {
  s_->SetSystemNumber("MaximumHops", 3);
  StartReceiver();
  struct Row {
    const char* sender;
    std::vector<std::string> body;
    bool relayed;
  };
  const Row rows[] = {
      {"SMITH", {"hi"}, true},                   // ALPHA::SMITH: 1 hop, 2 once relayed
      {"X::SMITH", {"hi"}, true},                // 2, then 3
      {"X::Y::SMITH", {"hi"}, false},            // 3 already
      // Received lines of a header carried at the head of the text count too: the
      // recipient is taken, then refused once the text is in.
      {"X::SMITH", {"Received: by X; Mon, 1 Jan 2024 00:00:00 +0000", "", "hi"}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sender);
    Sender sender = Connect();
    ASSERT_TRUE(sender.connected());
    Message m;
    m.sender = row.sender;
    m.recipients = {"CHARLY::JONES"};
    m.body = row.body;
    const size_t before = s_->QueueFiles().size();
    const Answers answers = Converse(sender, m);
    ASSERT_EQ(answers.recipients.size(), 1u);
    const bool taken = answers.recipients[0].success();
    const Status final = answers.finals.empty() ? answers.recipients[0] : answers.finals[0];
    EXPECT_EQ(final.success(), row.relayed);
    EXPECT_EQ(s_->QueueFiles().size(), before + (row.relayed ? 1 : 0));
    if (!row.relayed) {
      EXPECT_EQ(final.text, std::vector<std::string>{"Hop count exceeds gateway limit, probably due to forwarding loop."});
      EXPECT_EQ(final.condition, ERR_HOP_COUNT & ~1u);
    }
    EXPECT_EQ(taken, row.relayed || (!row.body.empty() && row.body[0] != "hi"));
  }
}

TEST_F(MailReceiverTest, BindingWaitsForTheObjectAndStopIsPrompt) {
  decnet::Outcome outcome;
  auto squatter = nodes_.bravo->Bind(27, "MAIL", &outcome);
  ASSERT_TRUE(squatter);
  ASSERT_EQ(GetSystemProfile(&settings_.system), 0u);
  settings_.node = "BRAVO";
  settings_.network = nodes_.bravo.get();
  MailReceiver::Limits limits = Quick();
  limits.timeout = 60s;  // a stop must not wait for it
  receiver_ = std::make_unique<MailReceiver>(settings_, log_, limits);
  receiver_->Start();
  EXPECT_TRUE(events_.Await(EVT_BIND_FAILED)) << events_.All();
  EXPECT_FALSE(receiver_->ready());
  squatter.reset();
  EXPECT_TRUE(events_.Await(EVT_RECEIVER_READY)) << events_.All();

  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  sender.Send("SMITH");
  sender.Send("bob");
  ASSERT_EQ(sender.Next(), kSuccess);
  sender.Send(kEnd);
  sender.Send("BRAVO::BOB");
  sender.Send("");
  sender.Send("Interrupted");
  sender.Send("a line");
  for (int i = 0; i < 100 && TempFiles().empty(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(TempFiles().size(), 1u) << "the text is being written";
  const auto start = std::chrono::steady_clock::now();
  receiver_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(receiver_->conversations(), 0u);
  EXPECT_FALSE(sender.Next(5s)) << "the link was aborted";
  EXPECT_EQ(TempFiles(), Names{});
  EXPECT_EQ(s_->Messages("bob"), Names{});
  EXPECT_TRUE(events_.Has(EVT_RECEIVER_STOPPED));
}

TEST_F(MailReceiverTest, FileFailuresLeaveTheMessageWithTheSender) {
  StartReceiver();
  namespace fault = platform::fault;
  struct Row {
    const char* name;
    fault::Op op;
    uint32_t event;
  };
  const Row rows[] = {
      {"no temporary file", fault::Op::TempName, EVT_TEMP_FILE},
      {"the flush fails", fault::Op::Flush, EVT_FILE_FLUSH},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Sender sender = Connect();
    ASSERT_TRUE(sender.connected());
    sender.Send("SMITH");
    sender.Send("bob");
    ASSERT_EQ(sender.Next(), kSuccess);
    sender.Send(kEnd);
    sender.Send("BRAVO::BOB");
    sender.Send("");
    fault::FailNth(row.op, 1, ERROR_DISK_FULL);
    // The receiver may drop the link at any of these: what it answers is what counts.
    for (const decnet::Message& record : {Bytes("Subject"), Bytes("text"), kEnd}) sender.link().Send(record, 2s);
    EXPECT_FALSE(sender.ReadStatus()) << "no final status: the sender keeps the message";
    EXPECT_TRUE(events_.Await(row.event)) << events_.All();
    fault::Clear();
    AwaitIdle();
    EXPECT_EQ(s_->Messages("bob"), Names{});
    EXPECT_EQ(TempFiles(), Names{});
  }
}

TEST_F(MailReceiverTest, ForwardingAndAutomaticRepliesAreThoseOfLocalMail) {
  s_->SetProfile("bob", "carol", -1, -1);
  pellam::test::WriteTextFile(s_->MailDirectory("system") + "autorep.txt", "Away.\r\n");
  ::chown(s_->MailDirectory("system").c_str(), 1004, 1004);
  ::chown((s_->MailDirectory("system") + "autorep.txt").c_str(), 1004, 1004);
  s_->SetProfile("system", "", 3, -1);
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  Message m;
  m.recipients = {"bob", "system"};
  const Answers answers = Converse(sender, m);
  ASSERT_EQ(answers.finals.size(), 2u);
  EXPECT_TRUE(answers.finals[0].success() && answers.finals[1].success());
  EXPECT_EQ(s_->Messages("bob"), Names{}) << "bob's mail goes to carol";
  OnlyMessage("system");
  const Names queued = s_->QueueFiles();
  ASSERT_EQ(queued.size(), 2u) << events_.All();
  int forwarded = 0, replies = 0;
  for (const std::string& name : queued) {
    const std::string file = pellam::test::ReadTextFile(s_->queue() + name);
    if (Contains(file, std::string("carol") + '\0')) {
      ++forwarded;
      EXPECT_TRUE(Contains(file, "Received: by BRAVO; ")) << "the hop counts on";
      EXPECT_TRUE(Contains(file, "From: ALPHA::SMITH\r\n")) << file;
    } else if (Contains(file, std::string("ALPHA::SMITH") + '\0')) {
      ++replies;
      EXPECT_TRUE(Contains(file, "Auto-Submitted: auto-replied")) << file;
      EXPECT_TRUE(Contains(file, "Away.")) << file;
    }
  }
  EXPECT_EQ(forwarded, 1);
  EXPECT_EQ(replies, 1);
}

TEST_F(MailReceiverTest, ADeliveryThatCannotBeMadeNowIsQueuedForTheUser) {
  StartReceiver();
  Sender sender = Connect();
  ASSERT_TRUE(sender.connected());
  sender.Send("SMITH  (Jo Smith)");
  sender.Send("bob");
  ASSERT_EQ(sender.Next(), kSuccess);
  // The profile read at delivery is the next child for a user: it runs out of time.
  platform::fault::FailNth(platform::fault::Op::Child, 1, ERROR_TIMEOUT);
  sender.Send(kEnd);
  for (const char* record : {"BRAVO::BOB", "", "Later", "the text"}) sender.Send(record);
  sender.Send(kEnd);
  const auto final = sender.ReadStatus();
  ASSERT_TRUE(final);
  EXPECT_TRUE(final->success()) << "the message is safe in the queue";
  platform::fault::Clear();
  EXPECT_TRUE(events_.Has(EVT_DELIVERY_FAILED, "bob"));
  EXPECT_EQ(s_->Messages("bob"), Names{});
  ASSERT_EQ(s_->QueueFiles().size(), 1u);
  s_->Drain();
  const std::string message = OnlyMessage("bob");
  EXPECT_EQ(HeaderValue(message, "From"), "ALPHA::SMITH  (Jo Smith)");
  EXPECT_EQ(HeaderValue(message, "Subject"), "Later");
  EXPECT_EQ(message.substr(message.find("\r\n\r\n") + 4), "the text\r\n");
  EXPECT_EQ(s_->QueueFiles(), Names{});
}

// Random record streams from random senders: whatever they send, the receiver
// survives, delivers nothing half received, leaves no temporary file, and serves a
// proper sender afterwards.
TEST_F(MailReceiverTest, RandomRecordStreamsAreSurvived) {
  MailReceiver::Limits limits = Quick();
  limits.timeout = 300ms;
  limits.threads = 16;  // conversations end at their own pace
  StartReceiver(limits);
  std::mt19937 random(20261209);
  const std::vector<decnet::Message> pieces = {kEnd,         {},          Bytes("bob"), Bytes("SMITH"),
                                               Bytes("a::b"), {0, 0},     {1, 0, 0, 0}, Bytes("\"")};
  for (int round = 0; round < 12; ++round) {
    Sender sender = Connect();
    ASSERT_TRUE(sender.connected());
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      decnet::Message record = pieces[random() % pieces.size()];
      if (random() % 3 == 0) {
        record.resize(random() % 40);
        for (auto& b : record) b = static_cast<uint8_t>(random());
      }
      if (!sender.link().Send(record, 2s)) break;
    }
    sender.link().Abort();
  }
  AwaitIdle();
  EXPECT_EQ(TempFiles(), Names{});
  const size_t delivered = s_->Messages("bob").size();
  Sender good = Connect();
  ASSERT_TRUE(good.connected());
  Message m;
  m.recipients = {"bob"};
  EXPECT_EQ(Converse(good, m).finals.size(), 1u);
  EXPECT_EQ(s_->Messages("bob").size(), delivered + 1);
}

}  // namespace
