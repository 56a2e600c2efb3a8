// The one export barrier and the library-code test: an exception of either kind thrown
// inside an export gives its one code, and GetUserProfile survives every allocation
// failing in turn (through a replaced operator new that this test program arms).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "frame/export_barrier.h"
#include "frame/status.h"
#include "pellam.h"
#include "platform/errors.h"
#include "sandbox.h"

namespace {

// 0: allocations succeed; n > 0: the nth allocation from now on this thread throws.
thread_local unsigned g_allocations_until_failure = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (g_allocations_until_failure > 0 && --g_allocations_until_failure == 0) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

TEST(LibraryCode, OnlyTheLibrarysFacilityCounts) {
  struct Row {
    uint32_t code;
    bool library;
  };
  const Row rows[] = {
      {ERR_UNKNOWN, true},           {ERR_NO_SUCH_ALIAS, true},     {INF_RSP_SUCCESS, true},
      {0x01000000, true},            {0xC1000099, true},            {0, false},
      {ERROR_FILE_NOT_FOUND, false}, {10061, false},                {EVT_FILE_OPEN, false},
      {0x01020064, false},           {0xC1050007, false},           {0x41010000, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(pellam::IsLibraryCode(row.code), row.library) << std::hex << "code 0x" << row.code;
  }
}

TEST(ExportBarrier, EachKindOfExceptionGivesItsOneCode) {
  EXPECT_EQ(pellam::Barrier([]() -> uint32_t { throw std::bad_alloc(); }), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(pellam::Barrier([]() -> uint32_t { throw std::length_error("too long"); }), ERR_API_INTERNAL);
  EXPECT_EQ(pellam::Barrier([]() -> pellam::Status { throw 42; }), ERR_API_INTERNAL);
  EXPECT_EQ(pellam::Barrier([] { return pellam::Status(ERR_OUT_OF_ORDER); }), ERR_OUT_OF_ORDER);
  EXPECT_EQ(pellam::Barrier([] { return uint32_t{0}; }), 0u);
}

TEST(ExportBarrier, TheReportingBarrierLeavesFailuresAsTheLastError) {
  platform::SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pellam::ReportingBarrier([] { return pellam::Status(); }), 0u);
  EXPECT_EQ(platform::GetLastError(), ERROR_FILE_NOT_FOUND);  // success leaves it alone
  EXPECT_EQ(pellam::ReportingBarrier([]() -> uint32_t { throw std::bad_alloc(); }), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(platform::GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

// Fails the first, second, ... allocation of one GetUserProfile call until a call
// runs through without meeting the failure: each must end in success or in the
// out-of-memory code, never in a crash, an escaped exception or another code.
TEST(ExportBarrier, GetUserProfileTurnsEveryAllocationFailureIntoTheMemoryCode) {
  pellam::test::Sandbox box;
  box.AddCurrentUser("ann", "Ann Example");
  MailProfile profile{};
  ASSERT_EQ(GetMailProfile(&profile, sizeof profile), 0u);  // registers ann

  constexpr unsigned kMostAllocations = 500;
  unsigned failed = 0;
  bool completed = false;
  for (unsigned nth = 1; nth <= kMostAllocations && !completed; ++nth) {
    MailProfile read{};
    g_allocations_until_failure = nth;
    const uint32_t code = GetUserProfile(&read, 1);
    completed = g_allocations_until_failure != 0;  // the armed allocation never came
    g_allocations_until_failure = 0;
    if (completed) {
      EXPECT_EQ(code, 0u);
      EXPECT_STREQ(read.AccountName, "ann");
    } else {
      EXPECT_EQ(code, ERROR_NOT_ENOUGH_MEMORY) << "allocation " << nth;
      ++failed;
    }
  }
  EXPECT_TRUE(completed) << "more than " << kMostAllocations << " allocations";
  EXPECT_GT(failed, 0u);  // the read does allocate, so the barrier was crossed
}

}  // namespace
