// The service's loop on a sandboxed queue, in-process: local delivery with the
// recipient's identity, refusals reported back to the sender, forwarding, automatic
// replies, remote mail that stays queued, and control files that cannot be used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/control_file_format.h"
#include "needs_root.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "service_sandbox.h"

namespace {

namespace fs = std::filesystem;
using pellam::test::HeaderValue;
using pellam::test::ServiceSandbox;
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class DeliveryFlow : public ::testing::Test {
 protected:
  void SetUp() override {
  PELLAM_NEEDS_ROOT("delivery switches to the recipients' identities");
    s_.AddUser("bob", 1001);
    s_.AddUser("carol", 1002);
  }
  // The one message in a user's "new" folder; fails the test unless there is one.
  std::string OnlyMessage(const std::string& user) {
    const auto contents = s_.Contents(user);
    EXPECT_EQ(contents.size(), 1u) << "messages of " << user << "\n" << s_.LogText();
    return contents.empty() ? std::string() : contents[0];
  }
  void ExpectQueueEmpty() { EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText(); }

  ServiceSandbox s_;
};

TEST_F(DeliveryFlow, TwoLocalUsersEachReceiveTheMessageAsTheirOwn) {
  s_.Post("To: bob, CAROL\r\nSubject: Lunch\r\n\r\nAt noon?\r\n");
  s_.Drain();
  ExpectQueueEmpty();
  for (const char* user : {"bob", "carol"}) {
    SCOPED_TRACE(user);
    ASSERT_EQ(s_.Messages(user), Names{"msg0001.mai"});
    const std::string path = s_.MailDirectory(user) + "new/msg0001.mai";
    struct stat st{};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, s_.Uid(user));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    const std::string message = OnlyMessage(user);
    EXPECT_EQ(message.rfind("Received: by " + ServiceSandbox::Node() + "; ", 0), 0u) << message;
    MailDate date{};
    EXPECT_EQ(ExtractReceiveDate(HeaderValue(message, "Received").c_str(), &date), 0u);
    EXPECT_GE(date.Year, 2024);
    EXPECT_NE(date.Second, MAIL_DATE_UNKNOWN);
    EXPECT_NE(HeaderValue(message, "Date"), "");
    EXPECT_EQ(HeaderValue(message, "From"), "ann  (Ann Smith)");
    EXPECT_EQ(HeaderValue(message, "Subject"), "Lunch");
    EXPECT_TRUE(message.size() > 10 && message.substr(message.size() - 10) == "At noon?\r\n") << message;
    EXPECT_EQ(s_.Messages(user, ".incoming"), Names{}) << "nothing left staged";
  }
  EXPECT_EQ(s_.Messages("ann"), Names{}) << "no report for the sender";
}

TEST_F(DeliveryFlow, APlantedLinkDoesNotLeadDeliveryOutOfTheMailDirectory) {
  const std::string elsewhere = s_.box().Path("elsewhere");
  fs::create_directories(elsewhere);
  ::chmod(elsewhere.c_str(), 0755);  // root's: the service could write there, bob cannot
  fs::create_directories(s_.MailDirectory("bob"));
  ::chown(s_.MailDirectory("bob").c_str(), 1001, 1001);
  fs::create_symlink(elsewhere, s_.MailDirectory("bob") + "new");
  s_.SetSystemNumber("SenderRetryLimit", 0);  // report at the first failure
  s_.Post("To: bob, carol\r\nSubject: s\r\n\r\nx\r\n");
  s_.Drain();
  EXPECT_EQ(fs::directory_iterator(elsewhere) == fs::directory_iterator(), true) << "written through the link";
  OnlyMessage("carol");
  const std::string report = OnlyMessage("ann");
  EXPECT_TRUE(Contains(report, "could not be delivered to bob")) << report;
  EXPECT_TRUE(Contains(report, "Failed to deliver mail message")) << report;
  ExpectQueueEmpty();
}

TEST_F(DeliveryFlow, RecipientsThatCannotBeServedAreReportedWithTheCatalogueText) {
  s_.AddUser("dave", 1003, /*registered=*/false);
  s_.SetProfile("carol", "", -1, 1);  // DisableNewMail
  s_.Post("To: bob, nosuch, dave, carol\r\nSubject: Plans\r\n\r\nbody\r\n");
  // An address the composition calls would refuse, in a control file made by hand.
  pellam::control::ControlFile crafted;
  crafted.addresses.push_back({0, 0, 0, 4, ADDR_FORM_DECNET, "\"odd"});
  pellam::test::WriteTextFile(s_.queue() + "handmade.mai",
                              pellam::control::EncodeControlFile(crafted, "From: ann\r\nSubject: Plans\r\n\r\n",
                                                                 "body\r\n"));
  s_.Drain();
  ExpectQueueEmpty();
  OnlyMessage("bob");
  EXPECT_EQ(s_.Messages("carol"), Names{});
  const std::string node = ServiceSandbox::Node();
  struct Row {
    const char* recipient;
    std::string text;
  };
  const Row rows[] = {
      {"nosuch", "No such user nosuch at " + node + "."},
      {"dave", "User dave is not a registered receiver of mail at " + node + "."},
      {"carol", "User carol cannot receive new mail."},
      {"\"odd", "Unbalanced quotes."},
  };
  const auto reports = s_.Contents("ann");
  ASSERT_EQ(reports.size(), 2u) << "one report per control file:\n" << s_.LogText();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.recipient);
    int found = 0;
    for (const auto& report : reports) {
      if (!Contains(report, std::string("could not be delivered to ") + row.recipient + ".")) continue;
      ++found;
      EXPECT_TRUE(Contains(report, row.text)) << report;
      EXPECT_EQ(HeaderValue(report, "Subject"), "Undeliverable mail: Plans");
      EXPECT_EQ(HeaderValue(report, "Auto-Submitted"), "auto-generated");
      EXPECT_TRUE(Contains(report, "Subject: Plans\r\n\r\nbody\r\n")) << "the message itself follows";
    }
    EXPECT_EQ(found, 1);
  }
  EXPECT_TRUE(s_.Logged(EVT_DELIVERY_FAILED));
}

TEST_F(DeliveryFlow, AForwardAddressGetsTheCopyInstead) {
  s_.SetProfile("bob", "carol", -1, -1);
  s_.Post("To: bob\r\nSubject: fwd\r\n\r\nfor bob\r\n");
  s_.Drain();
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("bob"), Names{});
  const std::string message = OnlyMessage("carol");
  EXPECT_EQ(HeaderValue(message, "Subject"), "fwd");
  size_t received = 0;
  for (size_t at = message.find("Received: "); at != std::string::npos; at = message.find("Received: ", at + 1)) {
    ++received;
  }
  EXPECT_EQ(received, 2u) << "one hop for the forward, one for the delivery:\n" << message;
}

TEST_F(DeliveryFlow, AForwardAddressTheLibraryRefusesIsReportedAtOnce) {
  s_.SetProfile("bob", "carol, dave", -1, -1);  // one address belongs there
  s_.Post("To: bob\r\nSubject: fwd\r\n\r\nfor bob\r\n");
  s_.Drain();
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("bob"), Names{});
  const std::string report = OnlyMessage("ann");
  EXPECT_TRUE(Contains(report, "Failed to forward mail message")) << report;
  EXPECT_TRUE(Contains(report, "remote lists not allowed")) << report;
}

TEST_F(DeliveryFlow, AForwardingLoopEndsAtTheHopLimit) {
  s_.SetProfile("bob", "carol", -1, -1);
  s_.SetProfile("carol", "bob", -1, -1);
  s_.Post("To: bob\r\nSubject: loop\r\n\r\nround\r\n");
  s_.Drain();
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("bob"), Names{});
  EXPECT_EQ(s_.Messages("carol"), Names{});
  const std::string report = OnlyMessage("ann");
  EXPECT_TRUE(Contains(report, "Hop count exceeds gateway limit")) << report;
}

TEST_F(DeliveryFlow, AutomaticRepliesOncePerSenderOrAlways) {
  pellam::test::WriteTextFile(s_.MailDirectory("bob") + "autorep.txt", "Away until Monday.\r\n");
  pellam::test::WriteTextFile(s_.MailDirectory("carol") + "autorep.txt", "On leave.\r\n");
  ::chown(s_.MailDirectory("bob").c_str(), 1001, 1001);
  ::chown((s_.MailDirectory("bob") + "autorep.txt").c_str(), 1001, 1001);
  ::chown(s_.MailDirectory("carol").c_str(), 1002, 1002);
  ::chown((s_.MailDirectory("carol") + "autorep.txt").c_str(), 1002, 1002);
  s_.SetProfile("bob", "", 1, -1);    // once per sender
  s_.SetProfile("carol", "", 3, -1);  // every message
  // ann answers automatically too: replies to replies must not follow.
  MailProfile me{};
  ASSERT_EQ(GetMailProfile(&me, sizeof me), 0u);
  me.AutoReply = 3;
  me.DisableNewMail = -1;
  ASSERT_EQ(UpdateMailProfile(&me, sizeof me), 0u);
  pellam::test::WriteTextFile(s_.MailDirectory("ann") + "autorep.txt", "ann is out.\r\n");

  s_.Post("To: bob, carol\r\nSubject: one\r\n\r\n1\r\n");
  s_.Post("To: bob, carol\r\nSubject: two\r\n\r\n2\r\n");
  s_.Drain();
  ExpectQueueEmpty();
  EXPECT_EQ(s_.Messages("bob").size(), 2u);
  EXPECT_EQ(s_.Messages("carol").size(), 2u);
  int from_bob = 0, from_carol = 0;
  for (const auto& reply : s_.Contents("ann")) {
    EXPECT_EQ(HeaderValue(reply, "Auto-Submitted"), "auto-replied");
    const std::string from = HeaderValue(reply, "From");
    if (from == "bob  (User bob)") {
      ++from_bob;
      EXPECT_TRUE(Contains(reply, "Away until Monday.")) << reply;
    } else if (from == "carol  (User carol)") {
      ++from_carol;
      EXPECT_TRUE(Contains(reply, "On leave.")) << reply;
    } else {
      ADD_FAILURE() << "unexpected message for ann:\n" << reply;
    }
  }
  EXPECT_EQ(from_bob, 1);
  EXPECT_EQ(from_carol, 2);
  EXPECT_EQ(pellam::test::ReadTextFile(s_.MailDirectory("bob") + "autorep.log"), "ann\r\n");
  struct stat st{};
  ASSERT_EQ(::stat((s_.MailDirectory("bob") + "autorep.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 1001u);
}

TEST_F(DeliveryFlow, RemoteMailStaysQueuedUntilTheRetryLimitThenGoesBack) {
  s_.Post("To: bob, NODEB::SMITH, user@host\r\nSubject: far\r\n\r\nx\r\n");
  s_.Drain();
  OnlyMessage("bob");
  ASSERT_EQ(s_.QueueFiles().size(), 2u) << "the control file and its journal stay";
  EXPECT_TRUE(s_.Logged(EVT_CONNECT_FAILED));
  EXPECT_EQ(s_.Messages("ann"), Names{});

  // A restarted service past the limit reports both, and delivers nothing twice.
  s_.SetSystemNumber("SenderRetryLimit", 0);
  s_.Drain();
  ExpectQueueEmpty();
  OnlyMessage("bob");
  const std::string report = OnlyMessage("ann");  // both recipients in one report
  EXPECT_TRUE(Contains(report, "Can't connect to mail-11 service on node NODEB."));
  EXPECT_TRUE(Contains(report, "Cannot send mail to external network; gateway name unknown."));
}

TEST_F(DeliveryFlow, ControlFilesThatCannotBeUsedAreSetAside) {
  const std::string secret = s_.box().Path("secret.txt");
  pellam::test::WriteTextFile(secret, "not for users");
  pellam::test::WriteTextFile(s_.queue() + "junk1.mai", "garbage that is no control file");
  fs::create_symlink(secret, s_.queue() + "junk2.mai");
  fs::create_directories(s_.queue() + "junk3.mai");
  s_.Post("To: bob\r\nSubject: fine\r\n\r\nok\r\n");
  s_.Drain();
  EXPECT_EQ(s_.QueueFiles(), (Names{"junk1.bad", "junk2.bad", "junk3.bad"})) << s_.LogText();
  EXPECT_EQ(pellam::test::ReadTextFile(s_.queue() + "junk1.bad"), "garbage that is no control file");
  EXPECT_EQ(pellam::test::ReadTextFile(secret), "not for users");
  EXPECT_TRUE(s_.Logged(EVT_PARSE));
  OnlyMessage("bob");
  s_.Drain();  // set aside for good: not retried
  EXPECT_EQ(s_.QueueFiles().size(), 3u);
}

TEST_F(DeliveryFlow, AJournalPlantedByAUserIsNotTrusted) {
  s_.Post("To: bob\r\nSubject: s\r\n\r\nx\r\n");
  const Names queued = s_.QueueFiles();
  ASSERT_EQ(queued.size(), 1u);
  const std::string journal = s_.queue() + queued[0].substr(0, queued[0].size() - 4) + ".sta";
  pellam::test::WriteTextFile(journal, "job 0 0 0\ndone 0\n");
  ::chown(journal.c_str(), 1002, 1002);
  s_.Drain();
  OnlyMessage("bob");
  EXPECT_EQ(s_.QueueFiles().size(), 1u) << "only the foreign journal, set aside";
}

TEST_F(DeliveryFlow, EveryFaultOnTheWayLeavesEachRecipientWithTheMessageOnce) {
  using platform::fault::Op;
  const Op ops[] = {Op::Open, Op::Read, Op::Write, Op::Seek, Op::Flush, Op::Close, Op::Move, Op::Delete,
                    Op::CreateDir, Op::Lock, Op::RegRead};
  size_t expected = 0;
  int rounds = 0, felt = 0;  // rounds in which the fault made something fail
  for (Op op : ops) {
    for (unsigned nth = 1; nth <= 12; nth += 3) {
      SCOPED_TRACE(testing::Message() << "op " << static_cast<unsigned>(op) << " call " << nth);
      // Two files in one pass: the faults also fall between the jobs of one batch.
      s_.Post("To: bob, carol\r\nSubject: s\r\n\r\nx\r\n");
      s_.Post("To: carol, bob\r\nSubject: t\r\n\r\ny\r\n");
      expected += 2;
      ++rounds;
      const size_t events = s_.EventCount();
      {
        platform::fault::Scope faults;
        s_.Drain([&] { platform::fault::FailNth(op, nth, ERROR_IO_DEVICE); });
      }
      if (s_.EventCount() > events) ++felt;
      s_.Drain();  // a restarted service: retry times are forgotten
      ASSERT_EQ(s_.Messages("bob").size(), expected) << s_.LogText();
      ASSERT_EQ(s_.Messages("carol").size(), expected) << s_.LogText();
      ASSERT_EQ(s_.Messages("ann"), Names{}) << "a fault reported as a refusal";
      ASSERT_EQ(s_.QueueFiles(), Names{}) << s_.LogText();
    }
  }
  // Late calls often fall on closes whose failure changes nothing, or in children that
  // count their calls afresh; but many faults must hit the work, or this tests little.
  EXPECT_GE(felt, rounds / 3);
}

}  // namespace
