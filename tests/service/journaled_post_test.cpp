// Settling the postings a killed service left in its journal: the service's own
// temporary file still there means the mail was never posted (the file goes, the
// posting is cancelled, its recipients stay open); the file gone means it was posted
// (its recipients are done); a file of that name that is not the service's own (a
// user's, made after the service's file moved on) is no witness and is left alone.
#include "journaled_post.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sandbox.h"

namespace {

using namespace pellam::service;
using pellam::test::ReadTextFile;
using pellam::test::WriteTextFile;

uint64_t InodeOf(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
}

TEST(SettlePostings, TheTemporaryFileDecidesWhetherTheMailWasPosted) {
  pellam::test::Sandbox box;
  ServiceSettings settings;
  const EventLog log([](uint32_t, const std::string&) {});
  const std::string journal = box.Path("snd0001.sta");
  const std::string unposted = box.Path("snd00A1.tmp");  // still there: never posted
  const std::string posted = box.Path("snd00A2.tmp");    // gone: posted
  const std::string foreign = box.Path("snd00A3.tmp");   // a user's file under the name
  const bool root = ::geteuid() == 0;
  {
    Job job{settings, log, "snd0001.mai", "snd0001", {}, {}, {}, {}, {}, false, {}};
    ASSERT_EQ(job.state.Open(journal, JobIdentity{1, 2, 3}, 4), 0u);
    WriteTextFile(unposted, "control file");
    ASSERT_EQ(job.state.RecordPosting({{0}, InodeOf(unposted), unposted, false}), 0u);
    ASSERT_EQ(job.state.RecordPosting({{1, 2}, 12345, posted, false}), 0u);
    if (root) {
      WriteTextFile(foreign, "a user's");
      ASSERT_EQ(::chown(foreign.c_str(), 1001, 1001), 0);
      ASSERT_EQ(job.state.RecordPosting({{3}, InodeOf(foreign), foreign, false}), 0u);
    }

    ASSERT_EQ(SettlePostings(job), 0u);
    EXPECT_FALSE(std::filesystem::exists(unposted));
    EXPECT_EQ(job.state.StepOf(0), Step::kNone) << "to be composed again";
    EXPECT_EQ(job.state.StepOf(1), Step::kDone);
    EXPECT_EQ(job.state.StepOf(2), Step::kDone);
    if (root) {
      EXPECT_EQ(job.state.StepOf(3), Step::kDone);
      EXPECT_EQ(ReadTextFile(foreign), "a user's");
    }
  }
  // What was settled stays settled when a restarted service reads the journal.
  JobState again;
  ASSERT_EQ(again.Open(journal, JobIdentity{1, 2, 3}, 4), 0u);
  ASSERT_EQ(again.Postings().size(), root ? 3u : 2u);
  EXPECT_TRUE(again.Postings()[0].cancelled);
  EXPECT_EQ(again.StepOf(0), Step::kNone);
  EXPECT_EQ(again.StepOf(1), Step::kDone);
}

}  // namespace
