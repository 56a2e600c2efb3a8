// The job journal: what survives a reopening, a line cut short by a crash, a journal
// of another control file of the same name, one planted by a user, one held by another
// service, and writes that fail.
#include "job_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "needs_root.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

using pellam::service::JobIdentity;
using pellam::service::JobState;
using pellam::service::Step;
using pellam::test::ReadTextFile;
using pellam::test::WriteTextFile;

class Journal : public ::testing::Test {
 protected:
  std::string Steps(const JobState& state, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += std::to_string(static_cast<int>(state.StepOf(i)));
    return s;
  }
  pellam::test::Sandbox box_;
  std::string path_ = box_.Path("snd0001.sta");
  JobIdentity id_{133000000000000000ull, 321, 77};
};

TEST_F(Journal, StepsSurviveAReopening) {
  {
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 3), 0u);
    EXPECT_EQ(Steps(state, 3), "000");
    ASSERT_EQ(state.Record(0, Step::kStaged), 0u);
    ASSERT_EQ(state.Record(0, Step::kDelivered), 0u);
    ASSERT_EQ(state.Record(2, Step::kDone), 0u);
    ASSERT_EQ(state.Record(0, Step::kStaged), 0u) << "an earlier step recorded again";
  }
  JobState again;
  ASSERT_EQ(again.Open(path_, id_, 3), 0u);
  EXPECT_EQ(Steps(again, 3), "203");
  EXPECT_FALSE(again.AllDone());
  ASSERT_EQ(again.Record(0, Step::kDone), 0u);
  ASSERT_EQ(again.Record(1, Step::kDone), 0u);
  EXPECT_TRUE(again.AllDone());
  ASSERT_EQ(again.Remove(), 0u);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(Journal, WhatIsReadBack) {
  struct Row {
    const char* what;
    std::string content;  // after the identity line
    const char* want;
    std::string want_file_tail;  // what the file holds after the identity line once opened
  };
  const Row rows[] = {
      {"a line cut short is dropped and trimmed", "done 0\nstaged 1\ndon", "31", "done 0\nstaged 1\n"},
      {"lines out of range or unknown are ignored", "done 7\nfinished 0\nstaged x\n", "00",
       "done 7\nfinished 0\nstaged x\n"},
      {"the furthest step wins", "delivered 1\nstaged 1\n", "02", "delivered 1\nstaged 1\n"},
  };
  const std::string identity = "job 133000000000000000 321 77\n";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteTextFile(path_, identity + row.content);
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 2), 0u);
    EXPECT_EQ(Steps(state, 2), row.want);
    EXPECT_EQ(ReadTextFile(path_), identity + row.want_file_tail);
  }
  // A record appended after a trimmed line stands on a line of its own.
  WriteTextFile(path_, identity + "done 0\nsta");
  {
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 2), 0u);
    ASSERT_EQ(state.Record(1, Step::kDone), 0u);
  }
  JobState state;
  ASSERT_EQ(state.Open(path_, id_, 2), 0u);
  EXPECT_TRUE(state.AllDone());
}

// Postings of the service's own mail: read back with their recipients, inode and
// file name (blanks and all), cancelled ones marked, malformed ones ignored.
TEST_F(Journal, PostingsAreReadBack) {
  {
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 4), 0u);
    ASSERT_EQ(state.RecordPosting({{1}, 42, "/spool/my temp/snd0001.tmp", false}), 0u);
    ASSERT_EQ(state.RecordPosting({{0, 2, 3}, 43, "/spool/my temp/snd0002.tmp", false}), 0u);
    ASSERT_EQ(state.RecordCancelled("/spool/my temp/snd0001.tmp"), 0u);
    ASSERT_EQ(state.Record(std::vector<size_t>{0, 2}, Step::kDone), 0u);
  }
  const std::string identity = "job 133000000000000000 321 77\n";
  EXPECT_EQ(ReadTextFile(path_), identity +
                                     "posting 1 42 /spool/my temp/snd0001.tmp\n"
                                     "posting 0,2,3 43 /spool/my temp/snd0002.tmp\n"
                                     "cancelled /spool/my temp/snd0001.tmp\n"
                                     "done 0\ndone 2\n");
  // Lines the service never writes: a recipient out of range, no inode, no name.
  WriteTextFile(path_, ReadTextFile(path_) + "posting 9 44 /x.tmp\nposting 1 /x.tmp\nposting 1 45\nposting ,1 46 /y\n");
  JobState state;
  ASSERT_EQ(state.Open(path_, id_, 4), 0u);
  EXPECT_EQ(Steps(state, 4), "3030");
  const auto& postings = state.Postings();
  ASSERT_EQ(postings.size(), 2u);
  EXPECT_EQ(postings[0].recipients, std::vector<size_t>{1});
  EXPECT_EQ(postings[0].inode, 42u);
  EXPECT_EQ(postings[0].temp, "/spool/my temp/snd0001.tmp");
  EXPECT_TRUE(postings[0].cancelled);
  EXPECT_EQ(postings[1].recipients, (std::vector<size_t>{0, 2, 3}));
  EXPECT_EQ(postings[1].temp, "/spool/my temp/snd0002.tmp");
  EXPECT_FALSE(postings[1].cancelled);
}

TEST_F(Journal, AJournalOfAnotherFileOfTheSameNameStartsAfresh) {
  {
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 2), 0u);
    ASSERT_EQ(state.Record(0, Step::kDone), 0u);
  }
  for (JobIdentity other : {JobIdentity{id_.creation_time + 1, 321, 77}, JobIdentity{id_.creation_time, 322, 77},
                            JobIdentity{id_.creation_time, 321, 78}}) {
    JobState state;
    ASSERT_EQ(state.Open(path_, other, 2), 0u);
    EXPECT_EQ(Steps(state, 2), "00");
  }
}

TEST_F(Journal, AJournalOfAnotherAccountIsNotTrusted) {
  PELLAM_NEEDS_ROOT("gives the journal to another account");
  WriteTextFile(path_, "job 133000000000000000 321 77\ndone 0\n");
  ASSERT_EQ(::chown(path_.c_str(), 1234, 1234), 0);
  JobState state;
  EXPECT_EQ(state.Open(path_, id_, 1), ERROR_ACCESS_DENIED);
}

TEST_F(Journal, AJournalReachedByALinkIsNotTrusted) {
  JobState state;

  const std::string target = box_.Path("target");
  WriteTextFile(target, "job 133000000000000000 321 77\ndone 0\n");
  const std::string linked = box_.Path("linked.sta");
  std::filesystem::create_symlink(target, linked);
  EXPECT_EQ(state.Open(linked, id_, 1), ERROR_ACCESS_DENIED);
  const std::string hard = box_.Path("hard.sta");
  std::filesystem::create_hard_link(target, hard);
  EXPECT_EQ(state.Open(hard, id_, 1), ERROR_ACCESS_DENIED) << "a second name of another file";
  EXPECT_EQ(ReadTextFile(target), "job 133000000000000000 321 77\ndone 0\n");
}

TEST_F(Journal, AJournalHeldByAnotherServiceIsASharingViolation) {
  JobState first;
  ASSERT_EQ(first.Open(path_, id_, 1), 0u);
  const int status = pellam::test::RunInChild([&] {
    JobState second;
    return second.Open(path_, id_, 1) == ERROR_SHARING_VIOLATION ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(Journal, FailingWritesAreReported) {
  using platform::fault::Op;
  for (Op op : {Op::Write, Op::Seek}) {
    SCOPED_TRACE(static_cast<unsigned>(op));
    std::filesystem::remove(path_);
    platform::fault::Scope faults;
    platform::fault::FailNth(op, 1, ERROR_DISK_FULL);
    JobState state;
    EXPECT_EQ(state.Open(path_, id_, 1), ERROR_DISK_FULL) << "a new journal that cannot be written";
  }
  // The first step's flush takes the journal's name along: the first flush is the file's,
  // the second its directory's.
  for (Op op : {Op::Write, Op::Flush, Op::Seek}) {
    for (unsigned nth : {1u, 2u}) {
      if (op != Op::Flush && nth == 2) continue;
      SCOPED_TRACE(testing::Message() << static_cast<unsigned>(op) << " call " << nth);
      std::filesystem::remove(path_);
      platform::fault::Scope faults;
      JobState state;
      ASSERT_EQ(state.Open(path_, id_, 1), 0u);
      platform::fault::FailNth(op, nth, ERROR_DISK_FULL);
      EXPECT_EQ(state.Record(0, Step::kDone), ERROR_DISK_FULL);
      EXPECT_EQ(state.StepOf(0), Step::kNone) << "a step that was not written does not count";
    }
  }
  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Open, 1, ERROR_ACCESS_DENIED);
  JobState state;
  EXPECT_EQ(state.Open(path_, id_, 1), ERROR_ACCESS_DENIED);
  platform::fault::FailNth(platform::fault::Op::Read, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(state.Open(path_, id_, 1), ERROR_IO_DEVICE);
  platform::fault::FailNth(platform::fault::Op::Look, 1, ERROR_IO_DEVICE);
  EXPECT_EQ(state.Open(path_, id_, 1), ERROR_IO_DEVICE) << "a journal that cannot be checked is not used";
}

// Many journals written without a flush each, then flushed together.
TEST_F(Journal, StepsWrittenTogetherCountOnceFlushedAndSurviveAReopening) {
  const std::string other = box_.Path("snd0002.sta");
  {
    JobState a, b;
    ASSERT_EQ(a.Open(path_, id_, 2), 0u);
    ASSERT_EQ(b.Open(other, id_, 1), 0u);
    ASSERT_EQ(a.Write({0, 1}, Step::kStaged), 0u);
    ASSERT_EQ(b.Write({0}, Step::kDelivered), 0u);
    EXPECT_EQ(Steps(a, 2), "11");
    ASSERT_EQ(JobState::FlushJournals(box_.Path(""), {&a, &b}), 0u);
  }
  JobState a, b;
  ASSERT_EQ(a.Open(path_, id_, 2), 0u);
  ASSERT_EQ(b.Open(other, id_, 1), 0u);
  EXPECT_EQ(Steps(a, 2), "11");
  EXPECT_EQ(Steps(b, 1), "2");

  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::Flush, 1, ERROR_IO_DEVICE);
  ASSERT_EQ(a.Write({0}, Step::kDelivered), 0u);
  EXPECT_EQ(JobState::FlushJournals(box_.Path(""), {&a}), ERROR_IO_DEVICE) << "a flush that fails is reported";
}

// A write that failed may have left part of a line: nothing may follow it, or the next
// line would run into it and could name another recipient.
TEST_F(Journal, AfterAFailedWriteTheJournalTakesNoMoreLinesUntilReopened) {
  {
    JobState state;
    ASSERT_EQ(state.Open(path_, id_, 20), 0u);
    {
      platform::fault::Scope faults;
      platform::fault::FailNth(platform::fault::Op::Write, 1, ERROR_DISK_FULL);
      EXPECT_EQ(state.Write({1}, Step::kStaged), ERROR_DISK_FULL);
    }
    WriteTextFile(path_, ReadTextFile(path_) + "staged 1");  // the part a short write left
    EXPECT_EQ(state.Write({2}, Step::kDone), ERROR_DISK_FULL);
    EXPECT_EQ(state.Record(2, Step::kDone), ERROR_DISK_FULL);
    EXPECT_EQ(JobState::FlushJournals(box_.Path(""), {&state}), ERROR_DISK_FULL);
  }
  {
    JobState again;
    ASSERT_EQ(again.Open(path_, id_, 20), 0u);
    EXPECT_EQ(Steps(again, 20), std::string(20, '0')) << "the cut line is trimmed, not read as a step";
    ASSERT_EQ(again.Record(2, Step::kDone), 0u);
  }
  JobState third;
  ASSERT_EQ(third.Open(path_, id_, 20), 0u);
  EXPECT_EQ(third.StepOf(12), Step::kNone);
  EXPECT_EQ(third.StepOf(2), Step::kDone);
}

}  // namespace
