// Memory blocks and the fault-injection switchboard.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/memory.h"
#include "sandbox.h"

namespace {

TEST(Memory, BlocksKeepTheirContentsWhenResized) {
  auto* p = static_cast<char*>(platform::GlobalAlloc(4, false));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  EXPECT_EQ(platform::GlobalSize(p), 4u);
  p = static_cast<char*>(platform::GlobalReAlloc(p, 100000));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "abc");
  EXPECT_EQ(platform::GlobalSize(p), 100000u);
  EXPECT_EQ(platform::GlobalFree(p), nullptr);
}

TEST(Memory, ZeroedBlocksAreZero) {
  auto* p = static_cast<unsigned char*>(platform::GlobalAlloc(64, true));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  platform::GlobalFree(p);
}

TEST(Memory, AForeignPointerIsRefusedNotFreed) {
  alignas(16) char not_a_block[64] = {};
  platform::SetLastError(0);
  EXPECT_EQ(platform::GlobalFree(not_a_block + 32), not_a_block + 32);
  EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(platform::GlobalReAlloc(not_a_block + 32, 8), nullptr);
  EXPECT_EQ(platform::GlobalFree(nullptr), nullptr);
}

TEST(Memory, AnImpossibleSizeFailsWithTheCode) {
  void* p = platform::GlobalAlloc(16, false);
  platform::SetLastError(0);
  // Near 4 GiB on top of the header: malloc may still succeed on a large machine,
  // so only check the contract when it fails.
  void* q = platform::GlobalReAlloc(p, 0xFFFFFFF0u);
  if (q == nullptr) {
    EXPECT_EQ(platform::GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(platform::GlobalSize(p), 16u);  // the old block is still valid
    platform::GlobalFree(p);
  } else {
    platform::GlobalFree(q);
  }
}

TEST(Fault, FailsExactlyTheNthCall) {
  platform::fault::Scope scope;
  using platform::fault::Op;
  platform::fault::FailNth(Op::Write, 3, ERROR_DISK_FULL);
  EXPECT_EQ(platform::fault::Check(Op::Write), 0u);
  EXPECT_EQ(platform::fault::Check(Op::Read), 0u);  // other operations are not counted
  EXPECT_EQ(platform::fault::Check(Op::Write), 0u);
  EXPECT_EQ(platform::fault::Check(Op::Write), ERROR_DISK_FULL);
  EXPECT_EQ(platform::fault::Check(Op::Write), 0u);
  EXPECT_EQ(platform::fault::Calls(Op::Write), 4u);
}

TEST(Fault, RepeatFailsEveryCallFromTheNthOn) {
  platform::fault::Scope scope;
  using platform::fault::Op;
  platform::fault::Check(Op::Flush);
  platform::fault::FailNth(Op::Flush, 2, ERROR_IO_DEVICE, true);  // counted from now
  EXPECT_EQ(platform::fault::Check(Op::Flush), 0u);
  EXPECT_EQ(platform::fault::Check(Op::Flush), ERROR_IO_DEVICE);
  EXPECT_EQ(platform::fault::Check(Op::Flush), ERROR_IO_DEVICE);
  platform::fault::Clear();
  EXPECT_EQ(platform::fault::Check(Op::Flush), 0u);
}

TEST(Fault, KeptToOneThreadOthersNeitherCountNorFail) {
  platform::fault::Scope scope;
  using platform::fault::Op;
  platform::fault::OnlyThisThread();
  platform::fault::FailNth(Op::Read, 1, ERROR_READ_FAULT, true);
  uint32_t other = 1;
  std::thread([&] { other = platform::fault::Check(Op::Read); }).join();
  EXPECT_EQ(other, 0u) << "another thread took the fault";
  EXPECT_EQ(platform::fault::Calls(Op::Read), 0u) << "another thread's call was counted";
  platform::fault::Clear();
  platform::fault::FailNth(Op::Read, 1, ERROR_READ_FAULT);
  EXPECT_EQ(platform::fault::Check(Op::Read), ERROR_READ_FAULT) << "Clear kept the thread, and its faults";
  // A forked child is the same thread to the plan, so a test's faults reach it.
  platform::fault::FailNth(Op::Read, 1, ERROR_READ_FAULT);
  EXPECT_EQ(pellam::test::RunInChild([] { return static_cast<int>(platform::fault::Check(Op::Read)); }),
            static_cast<int>(ERROR_READ_FAULT));

  platform::fault::EveryThread();
  platform::fault::Clear();
  platform::fault::FailNth(Op::Read, 1, ERROR_READ_FAULT);
  std::thread([&] { other = platform::fault::Check(Op::Read); }).join();
  EXPECT_EQ(other, ERROR_READ_FAULT) << "every thread reaches the plan again";
}

}  // namespace
