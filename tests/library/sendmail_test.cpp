// One-shot sending from text and from files: the header section read in rounds, the
// failure tables of both calls, and nothing in the queue after any failure.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include <cstring>
#include <string>
#include <vector>

#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "posting_sandbox.h"

namespace {

using pellam::test::PostingSandbox;
using pellam::test::RecordTexts;
using Texts = std::vector<std::string>;
using platform::fault::Op;

class Send : public ::testing::Test {
 protected:
  // Sends `message` from memory; `*position` receives the error position's offset,
  // -1 for null.
  uint32_t FromText(const std::string& message, ptrdiff_t* position = nullptr) {
    const char* error = reinterpret_cast<const char*>(1);
    const uint32_t code =
        SendMailMessageFromText(message.data(), static_cast<int32_t>(message.size()), &error);
    if (code != 0) {
      EXPECT_EQ(platform::GetLastError(), code);
    }
    if (position != nullptr) *position = error == nullptr ? -1 : error - message.data();
    return code;
  }
  uint32_t FromFile(const std::string& message) {
    const std::string path = sandbox_.box().Path("message.txt");
    pellam::test::WriteTextFile(path, message);
    const uint32_t code = SendMailMessageFromFile(path.c_str());
    if (code != 0) {
      EXPECT_EQ(platform::GetLastError(), code);
    }
    return code;
  }
  // Sends `message` both ways and checks both post the same control file.
  void ExpectBothPost(const std::string& message, const Texts& records, const std::string& header,
                      const std::string& text) {
    for (bool file : {false, true}) {
      SCOPED_TRACE(file ? "from a file" : "from text");
      ASSERT_EQ(file ? FromFile(message) : FromText(message), 0u);
      const auto posted = sandbox_.Posted();
      EXPECT_EQ(RecordTexts(posted.items), records);
      EXPECT_EQ(posted.header(), header);
      EXPECT_TRUE(posted.text() == text) << "text of " << posted.text().size() << " bytes, want " << text.size();
      sandbox_.ClearQueue();
    }
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(sandbox_.QueueFiles(), Texts{});
    EXPECT_EQ(sandbox_.TempFiles(), Texts{});
  }

  PostingSandbox sandbox_;
};

TEST_F(Send, OnlyToCcAndSubjectAreUsedAndFromIsTheSender) {
  ExpectBothPost(
      "Date: Mon, 12 Jan 1995 10:20:30\r\nFrom: mallory  (Someone Else)\r\nto: SMITH\r\nX-Other: 1\r\n"
      "Cc: JONES\r\nSubject: Lunch\r\nTo: IGNORED\r\n\r\nSee you.\r\n",
      {"SMITH", "JONES"}, "From: ann  (Ann Smith)\r\nTo: SMITH\r\nCc: JONES\r\nSubject: Lunch\r\n\r\n",
      "See you.\r\n");
}

TEST_F(Send, LineFeedsAloneAndFoldedAddressLines) {
  ExpectBothPost("To: SMITH,\n  JONES\nCc: BROWN\n\tGREEN\nSubject: s\n\nbody\n", {"SMITH", "JONES", "BROWN", "GREEN"},
                 "From: ann  (Ann Smith)\r\nTo: SMITH,JONES\r\nCc: BROWN,GREEN\r\nSubject: s\r\n\r\n", "body\n");
}

TEST_F(Send, AMessageEndingAfterTheEmptyLineHasAnEmptyText) {
  ExpectBothPost("To: SMITH\r\n\r\n", {"SMITH"}, "From: ann  (Ann Smith)\r\nTo: SMITH\r\n\r\n", "");
}

TEST_F(Send, TheTextIsCopiedExactlyWhateverItHolds) {
  std::string text = "first line\r\n\r\nTo: NOT A HEADER\r\n";
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<char>(i));
  ExpectBothPost("To: SMITH\r\n\r\n" + text, {"SMITH"}, "From: ann  (Ann Smith)\r\nTo: SMITH\r\n\r\n", text);
}

TEST_F(Send, TheTextLengthBoundsWhatIsRead) {
  const std::string buffer = "To: SMITH\r\n\r\nbodyGARBAGE";
  const char* error = nullptr;
  ASSERT_EQ(SendMailMessageFromText(buffer.data(), static_cast<int32_t>(buffer.size() - 7), &error), 0u);
  EXPECT_EQ(sandbox_.Posted().text(), "body");
  EXPECT_EQ(SendMailMessageFromText(buffer.data(), -1, &error), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SendMailMessageFromText(nullptr, 5, &error), ERROR_INVALID_PARAMETER);
}

TEST_F(Send, LongHeaderSectionsAreReadInFurtherRounds) {
  // A section of many lines, and one line of several rounds by itself.
  std::string many, to;
  for (int i = 0; i < 100; ++i) many += "X-Filler-" + std::to_string(i) + ": " + std::string(30, 'f') + "\r\n";
  Texts records;
  for (int i = 0; i < 400; ++i) {
    const std::string name = "USER" + std::to_string(i);
    to += (i ? ", " : "") + name;
    records.push_back(name);
  }
  ASSERT_GT(to.size(), 3000u);
  const std::string subject(5000, 's');
  ASSERT_EQ(FromFile(many + "To: " + to + "\r\nSubject: " + subject + "\r\n\r\ntext"), 0u);
  const auto posted = sandbox_.Posted();
  EXPECT_EQ(RecordTexts(posted.items), records);
  EXPECT_EQ(posted.header().substr(posted.header().size() - subject.size() - 4), subject + "\r\n\r\n");
  EXPECT_EQ(posted.text(), "text");
}

TEST_F(Send, AFoldSplitAcrossReadsJoinsTheRightValue) {
  // Put the continuation line of Subject across the first 1024-byte boundary, with a
  // header of another name in between so a lost current header would show.
  for (size_t cut = 1000; cut < 1040; cut += 3) {
    std::string start = "To: SMITH\r\nX-Pad: " + std::string(cut - 30, 'p') + "\r\nSubject: one\r\n";
    const std::string message = start + "   two three\r\n\r\n";
    ASSERT_EQ(FromFile(message), 0u) << cut;
    const std::string header(sandbox_.Posted().header());
    EXPECT_NE(header.find("Subject: one two three\r\n"), std::string::npos) << cut << ": " << header;
    sandbox_.ClearQueue();
  }
}

// ---- Failures ---------------------------------------------------------------------

TEST_F(Send, HeaderSectionFailuresFromText) {
  const struct {
    std::string message;
    uint32_t want;
    ptrdiff_t position;  // -1: null
  } rows[] = {
      {"", ERR_BAD_HEADER_SECTION, 0},
      {"To: SMITH\r\nSubject: x", ERR_BAD_HEADER_SECTION, 11},  // the last line has no line feed
      {"To: SMITH\r\n", ERR_BAD_HEADER_SECTION, 11},            // the end of the text
      {"To: SMITH\r\nDear John,\r\n\r\n", ERR_BAD_HEADER_SECTION, 11},
      {"\r\nTo: SMITH\r\n", ERR_NO_ADDRESSES, -1},  // no headers at all
      {"Subject: x\r\n\r\ntext", ERR_NO_ADDRESSES, -1},
      {"To: @HOST\r\n\r\n", ERR_LIST_OPEN, -1},
      {"To: USER@\r\n\r\n", ERR_ADDRESS_SYNTAX, -1},
      {"To: SMITH, ,\r\n\r\n", ERR_BLANK_ADDRESS, -1},
  };
  for (const auto& row : rows) {
    ptrdiff_t position = -2;
    EXPECT_EQ(FromText(row.message, &position), row.want) << "[" << row.message << "]";
    EXPECT_EQ(position, row.position) << "[" << row.message << "]";
  }
  ExpectNothingLeft();
}

TEST_F(Send, HeaderSectionFailuresFromAFile) {
  const struct {
    std::string message;
    uint32_t want;
  } rows[] = {
      {"", ERROR_HANDLE_EOF},
      {"To: SMITH\r\nSubject: x", ERROR_HANDLE_EOF},
      {"To: SMITH\r\n", ERROR_HANDLE_EOF},
      {"To: SMITH\r\n" + std::string(3000, 'x'), ERROR_HANDLE_EOF},
      {"To: SMITH\r\nDear John,\r\n\r\n", ERR_NON_HEADER_LINE},
      {"\r\nTo: SMITH\r\n", ERR_NO_ADDRESSES},
      {"To: @HOST\r\n\r\n", ERR_LIST_OPEN},
  };
  for (const auto& row : rows) EXPECT_EQ(FromFile(row.message), row.want) << "[" << row.message.substr(0, 40) << "]";
  EXPECT_EQ(SendMailMessageFromFile(sandbox_.box().Path("missing.txt").c_str()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SendMailMessageFromFile(sandbox_.box().Path("no/such/dir.txt").c_str()), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(SendMailMessageFromFile(nullptr), ERROR_INVALID_PARAMETER);
  ExpectNothingLeft();
}

TEST_F(Send, AFailedAliasTranslationIsReportedByBoth) {
  std::string list = "JONES";
  list.append(2, '\0');
  ASSERT_EQ(SetAlias("other", list.data(), ALIAS_SCOPE_USER), 0u);
  for (bool file : {false, true}) {
    platform::fault::Scope faults;
    // The profile's reads come first; fail every read from the alias query on.
    const std::string message = "To: SMITH\r\n\r\n";
    const unsigned profile_reads = [&] {
      platform::fault::Clear();
      MailSystemProfile p;
      GetSystemProfile(&p);
      return platform::fault::Calls(Op::RegRead);
    }();
    platform::fault::Clear();
    platform::fault::FailNth(Op::RegRead, profile_reads + 1, ERROR_BADDB, true);
    EXPECT_EQ(file ? FromFile(message) : FromText(message), ERR_ALIAS_TRANSLATION) << file;
    EXPECT_GT(platform::fault::Calls(Op::RegRead), profile_reads) << "the alias query was never reached";
  }
  ExpectNothingLeft();
}

TEST_F(Send, FileFaultsAreReportedAndLeaveNothing) {
  // Every fault of every file operation of a whole send from a file: either the
  // message is posted or the queue stays empty and the code is the one injected.
  const std::string message = "To: SMITH\r\nSubject: " + std::string(1500, 's') + "\r\n\r\n" + std::string(3000, 't');
  const std::string path = sandbox_.box().Path("message.txt");
  pellam::test::WriteTextFile(path, message);
  for (Op op : {Op::Open, Op::Lock, Op::Read, Op::Seek, Op::Write, Op::Flush, Op::Close, Op::Move, Op::TempName}) {
    platform::fault::Scope faults;
    ASSERT_EQ(SendMailMessageFromFile(path.c_str()), 0u);
    sandbox_.ClearQueue();
    const unsigned calls = platform::fault::Calls(op);
    // A send that stopped going through the layer would leave nothing to fail.
    ASSERT_GT(calls, 0u) << "op " << static_cast<unsigned>(op) << " is never reached";
    for (unsigned nth = 1; nth <= calls; ++nth) {
      platform::fault::Clear();
      platform::fault::FailNth(op, nth, ERROR_IO_DEVICE);
      const uint32_t got = SendMailMessageFromFile(path.c_str());
      const unsigned reached = platform::fault::Calls(op);
      platform::fault::Clear();
      SCOPED_TRACE("op " + std::to_string(static_cast<unsigned>(op)) + " call " + std::to_string(nth));
      EXPECT_GE(reached, nth) << "the injected fault was never reached";
      if (got == 0) {
        EXPECT_EQ(sandbox_.Posted().text(), std::string(3000, 't'));
        sandbox_.ClearQueue();
      } else {
        // Opening the registry's hive also counts as an open; its failure is mapped.
        if (op != Op::Open) {
          EXPECT_EQ(got, ERROR_IO_DEVICE);
        }
        ExpectNothingLeft();
      }
    }
  }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The process's address space now, in bytes.
rlim_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  statm >> pages;
  return static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

TEST_F(Send, ExhaustedMemoryWhileReadingHeaders) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer reserves more address space than any limit";
  // One header line of 64 MiB: more than the address space left to the child.
  const std::string message = "To: SMITH\r\nSubject: " + std::string(64 << 20, 's') + "\r\n\r\ntext";
  const std::string path = sandbox_.box().Path("huge.txt");
  pellam::test::WriteTextFile(path, message);
  const int status = pellam::test::RunInChild([&] {
    rlimit limit{AddressSpaceInUse() + (32 << 20), RLIM_INFINITY};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) return 10;
    const uint32_t from_file = SendMailMessageFromFile(path.c_str());
    const char* error = nullptr;
    const uint32_t from_text =
        SendMailMessageFromText(message.data(), static_cast<int32_t>(message.size()), &error);
    if (from_file != ERR_HEADER_TOO_LARGE) return 11;
    if (from_text != ERR_BAD_HEADER_SECTION || error == nullptr) return 12;
    return 0;
  });
  EXPECT_EQ(status, 0) << "11: the file's buffer, 12: the text's value";
  ExpectNothingLeft();
}

}  // namespace
