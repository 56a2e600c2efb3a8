// The one export barrier and the library-code test: an exception of either kind thrown
// inside an export gives its one code, and GetUserProfile and MoveMailFile survive
// every allocation failing in turn (through a replaced operator new that this test
// program arms), MoveMailFile without ever losing the message it files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
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

// The whole replaceable set but the aligned forms, all over malloc and free, so that
// every block is given back by the family that gave it out (the sanitizers check).
namespace {
[[gnu::noinline]] void* Allocate(std::size_t size) {
  if (g_allocations_until_failure > 0 && --g_allocations_until_failure == 0) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
[[gnu::noinline]] void Release(void* block) noexcept { std::free(block); }
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

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
// out-of-memory code, never in a crash, an escaped exception or another code. Both
// roads are taken: the calling user's own hive and another user's by name.
TEST(ExportBarrier, GetUserProfileTurnsEveryAllocationFailureIntoTheMemoryCode) {
  pellam::test::Sandbox box;
  box.AddCurrentUser("ann", "Ann Example");
  MailProfile registered{};
  ASSERT_EQ(GetMailProfile(&registered, sizeof registered), 0u);

  for (const uint32_t calling_user : {1u, 0u}) {
    constexpr unsigned kMostAllocations = 500;
    unsigned failed = 0;
    bool completed = false;
    for (unsigned nth = 1; nth <= kMostAllocations && !completed; ++nth) {
      MailProfile read{};
      std::strcpy(read.AccountName, "ann");
      g_allocations_until_failure = nth;
      const uint32_t code = GetUserProfile(&read, calling_user);
      completed = g_allocations_until_failure != 0;  // the armed allocation never came
      g_allocations_until_failure = 0;
      if (completed) {
        EXPECT_EQ(code, 0u) << "calling user " << calling_user;
        EXPECT_STREQ(read.AccountName, "ann");
      } else {
        EXPECT_EQ(code, ERROR_NOT_ENOUGH_MEMORY) << "calling user " << calling_user << ", allocation " << nth;
        ++failed;
      }
    }
    EXPECT_TRUE(completed) << "more than " << kMostAllocations << " allocations";
    EXPECT_GT(failed, 0u) << "calling user " << calling_user;  // the read allocates: the barrier was crossed
  }
}

// Filing meets an allocation failure at each step in turn. A failure reported to the
// client must leave the message where it was, and a success must name the file that
// now holds it: a message moved but reported as not moved would be lost to the user.
TEST(ExportBarrier, MoveMailFileNeverLosesTheMessageWhenMemoryRunsOut) {
  pellam::test::Sandbox box;
  const std::string base = box.Path("mail/");
  const std::string source = box.Path("incoming.txt");
  std::filesystem::create_directories(base + "main/");

  constexpr unsigned kMostAllocations = 500;
  bool completed = false;
  for (unsigned nth = 1; nth <= kMostAllocations && !completed; ++nth) {
    pellam::test::WriteTextFile(source, "Subject: kept\r\n\r\nbody\r\n");
    char new_name[PELLAM_MAX_PATH] = "";
    g_allocations_until_failure = nth;
    const uint32_t code = MoveMailFile(source.c_str(), base.c_str(), "main/", new_name, 0);
    completed = g_allocations_until_failure != 0;
    g_allocations_until_failure = 0;
    if (code == 0) {
      EXPECT_FALSE(std::filesystem::exists(source)) << "allocation " << nth;
      EXPECT_EQ(pellam::test::ReadTextFile(new_name), "Subject: kept\r\n\r\nbody\r\n") << "allocation " << nth;
    } else {
      EXPECT_EQ(code, ERROR_NOT_ENOUGH_MEMORY) << "allocation " << nth;
      EXPECT_TRUE(std::filesystem::exists(source)) << "reported failed but moved, allocation " << nth;
    }
  }
  EXPECT_TRUE(completed) << "more than " << kMostAllocations << " allocations";
  unsigned filed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(base + "main/")) {
    if (entry.path().extension() == ".mai") ++filed;
  }
  EXPECT_EQ(filed, 1u) << "a failed filing left a copy behind";
}

}  // namespace
