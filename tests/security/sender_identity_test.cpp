// "Anyone can send mail as anyone": a user writes a control file by hand into the
// world-writable queue with a From line of another account. The service now takes
// the poster from the file's owner and refuses the message, tells the poster and logs
// the file and both accounts; root's files may name anyone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/control_file_format.h"
#include "needs_root.h"
#include "pellam.h"
#include "service_sandbox.h"

namespace {

using pellam::test::HeaderValue;
using pellam::test::ServiceSandbox;
using Names = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A control file for `to` with this header section, as a user could write it by hand.
std::string HandMade(const std::vector<std::string>& to, const std::string& header, const std::string& text) {
  pellam::control::ControlFile file;
  for (const auto& address : to) {
    file.addresses.push_back({0, 0, 0, static_cast<uint8_t>(address.size()), ADDR_FORM_DECNET, address});
  }
  return pellam::control::EncodeControlFile(file, header, text);
}

// Writes `bytes` as `path` in a child with the identity of `uid`, so the user owns it.
void WriteAs(uid_t uid, const std::string& path, const std::string& bytes) {
  ASSERT_EQ(pellam::test::RunAsUser(uid, uid,
                                    [&] {
                                      FILE* f = std::fopen(path.c_str(), "wb");
                                      if (f == nullptr) return 1;
                                      const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
                                      return std::fclose(f) == 0 && ok ? 0 : 2;
                                    }),
            0)
      << path;
}

class SenderIdentity : public ::testing::Test {
 protected:
  void SetUp() override {
    PELLAM_NEEDS_ROOT("the attackers are real accounts with their own uids");
    s_.AddUser("bob", 1001);
    s_.AddUser("carl", 1002);
    // As setup makes them: every user may post.
    ::chmod(s_.queue().c_str(), 01777);
    ::chmod(s_.box().Path("spool/temp").c_str(), 01777);
  }
  ServiceSandbox s_;
};

TEST_F(SenderIdentity, AHandMadeFileWithAnotherAccountsFromIsRefusedAndItsPosterTold) {
  const std::string node = ServiceSandbox::Node();
  struct Row {
    const char* what;
    std::string header;
    bool delivered;
    const char* refusal;  // in the report to bob
  };
  const Row rows[] = {
      {"root", "From: root\r\nSubject: r0\r\n\r\n", false, "names root, but it was posted by bob"},
      {"another user", "From: carl  (Carl)\r\nSubject: r1\r\n\r\n", false, "names carl, but it was posted by bob"},
      {"the service", "From: PELLAM  (Mail delivery service)\r\nSubject: r2\r\n\r\n", false, "names PELLAM"},
      {"another node", "From: FARNODE::bob\r\nSubject: r3\r\n\r\n", false, "names FARNODE::bob"},
      {"two From lines", "From: bob\r\nFrom: carl\r\nSubject: r4\r\n\r\n", false, "exactly one From line"},
      {"two addresses", "From: bob, carl\r\nSubject: r5\r\n\r\n", false, "exactly one address"},
      {"no From line", "Subject: r6\r\n\r\n", false, "exactly one From line"},
      {"his own, in capitals", "From: BOB  (Bob)\r\nSubject: r7\r\n\r\n", true, ""},
      {"his own on this node", "From: " + node + "::bob\r\nSubject: r8\r\n\r\n", true, ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    WriteAs(1001, s_.queue() + "forged" + std::to_string(i) + ".mai", HandMade({"carl"}, rows[i].header, "x\r\n"));
  }
  s_.Drain();
  EXPECT_EQ(s_.QueueFiles(), Names{}) << s_.LogText();
  const auto carl = s_.Contents("carl");
  const auto bob = s_.Contents("bob");
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.what);
    const std::string subject = "r" + std::to_string(i);
    int delivered = 0, reports = 0;
    for (const auto& m : carl) delivered += HeaderValue(m, "Subject") == subject;
    for (const auto& m : bob) {
      if (HeaderValue(m, "Subject") != "Undeliverable mail: " + subject) continue;
      ++reports;
      EXPECT_TRUE(Contains(m, "could not be delivered to carl.")) << m;
      EXPECT_TRUE(Contains(m, row.refusal)) << m;
    }
    EXPECT_EQ(delivered, row.delivered ? 1 : 0);
    EXPECT_EQ(reports, row.delivered ? 0 : 1);
  }
  EXPECT_TRUE(Contains(s_.LogText(), "The control file forged1.mai was posted by bob but its From line names carl"))
      << s_.LogText();
  EXPECT_TRUE(s_.Logged(EVT_ADDRESS_REFUSED));
}

TEST_F(SenderIdentity, MailPostedThroughTheLibraryCarriesThePostersOwnFrom) {
  // The documented composition calls are unchanged: a caller may still pass its own
  // From text; only the service, which knows the owner, refuses it.
  const int status = pellam::test::RunAsUser(1001, 1001, [] {
    const std::string message = "To: carl\r\nSubject: honest\r\n\r\nhi\r\n";
    const char* error = nullptr;
    if (SendMailMessageFromText(message.data(), static_cast<int32_t>(message.size()), &error) != 0) return 1;
    MailHandle m = CreateMailMessage(0);
    if (m == nullptr) return 2;
    uint32_t code = AddAddresses(m, "carl", ADDR_TO);
    if (code == 0) code = AddHeaders(m, "carl", nullptr, nullptr, "forged by a caller");
    if (code == 0) code = AddText(m, "x", 1);
    if (code == 0) code = PostMailMessage(m);
    const uint32_t closed = CloseMailMessage(m);
    return code == 0 && closed == 0 ? 0 : 3;
  });
  ASSERT_EQ(status, 0);
  s_.Drain();
  const auto carl = s_.Contents("carl");
  ASSERT_EQ(carl.size(), 1u) << s_.LogText();
  EXPECT_EQ(HeaderValue(carl[0], "Subject"), "honest");
  EXPECT_EQ(HeaderValue(carl[0], "From"), "bob  (User bob)");
  const auto bob = s_.Contents("bob");
  ASSERT_EQ(bob.size(), 1u);
  EXPECT_EQ(HeaderValue(bob[0], "Subject"), "Undeliverable mail: forged by a caller");
}

TEST_F(SenderIdentity, RootsFilesAreTheSystemsOwnAndMayNameAnyone) {
  pellam::test::WriteTextFile(s_.queue() + "system.mai", HandMade({"carl"}, "From: bob\r\nSubject: s\r\n\r\n", "x"));
  s_.Drain();
  const auto carl = s_.Contents("carl");
  ASSERT_EQ(carl.size(), 1u) << s_.LogText();
  EXPECT_EQ(HeaderValue(carl[0], "From"), "bob");
  EXPECT_EQ(s_.Messages("bob"), Names{});
}

TEST_F(SenderIdentity, ASecondLinkToAControlFileIsNotTakenForItsOwner) {
  // bob's own file with a second name: a link count above one could as well be a link
  // to someone else's file, whose owner would pass for the poster.
  const std::string path = s_.queue() + "linked.mai";
  WriteAs(1001, path, HandMade({"carl"}, "From: bob\r\nSubject: l\r\n\r\n", "x"));
  ASSERT_EQ(::link(path.c_str(), s_.box().Path("spool/second-name").c_str()), 0);
  s_.Drain();
  EXPECT_EQ(s_.Messages("carl"), Names{});
  EXPECT_EQ(s_.QueueFiles(), Names{"linked.bad"});
  EXPECT_TRUE(Contains(s_.LogText(), "a file with 2 links")) << s_.LogText();
}

}  // namespace
