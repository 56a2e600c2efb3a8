// The errno translation, the per-thread last-error value and the message table.
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "sandbox.h"

namespace {

TEST(Errors, LastErrorIsPerThread) {
  platform::SetLastError(5);
  uint32_t seen_in_other = 99;
  std::thread t([&] {
    seen_in_other = platform::GetLastError();
    platform::SetLastError(32);
  });
  t.join();
  EXPECT_EQ(seen_in_other, 0u);
  EXPECT_EQ(platform::GetLastError(), 5u);
}

TEST(Errors, NotFoundTellsAMissingDirectoryFromAMissingName) {
  pellam::test::Sandbox box;
  std::filesystem::create_directories(box.Path("dir"));
  EXPECT_EQ(platform::FromErrno(ENOENT, box.Path("dir/missing").c_str()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::FromErrno(ENOENT, box.Path("nodir/missing").c_str()), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(platform::FromErrno(ENOENT, box.Path("dir/missing/").c_str()), ERROR_FILE_NOT_FOUND);
  pellam::test::WriteTextFile(box.Path("file"), "x");
  // A file where a directory should be is a missing path.
  EXPECT_EQ(platform::FromErrno(ENOENT, box.Path("file/name").c_str()), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(platform::FromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
}

TEST(Errors, TranslatesTheCodesCallersCompare) {
  struct Row {
    int err;
    uint32_t want;
  } rows[] = {
      {0, ERROR_SUCCESS},          {EACCES, ERROR_ACCESS_DENIED},   {EPERM, ERROR_ACCESS_DENIED},
      {EEXIST, ERROR_ALREADY_EXISTS}, {EXDEV, ERROR_NOT_SAME_DEVICE}, {ENOSPC, ERROR_DISK_FULL},
      {ENOTDIR, ERROR_PATH_NOT_FOUND}, {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
      {ENOTEMPTY, ERROR_DIR_NOT_EMPTY}, {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY}, {EBADF, ERROR_INVALID_HANDLE},
      {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(platform::FromErrno(r.err), r.want) << "errno " << r.err;
  }
}

TEST(Errors, FailWithErrnoStoresTheCode) {
  errno = EXDEV;
  EXPECT_EQ(platform::FailWithErrno(), ERROR_NOT_SAME_DEVICE);
  EXPECT_EQ(platform::GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_EQ(platform::Fail(87), 87u);
  EXPECT_EQ(platform::GetLastError(), 87u);
}

TEST(Errors, EveryCodeTheLayerReportsHasATextEndingInCrLf) {
  for (int err = 1; err < 134; ++err) {
    uint32_t code = platform::FromErrno(err);
    const char* text = platform::SystemMessage(code);
    ASSERT_NE(text, nullptr) << "errno " << err << " gives code " << code << " without a text";
    std::string s(text);
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.substr(s.size() - 2), "\r\n") << code;
  }
  EXPECT_EQ(platform::SystemMessage(0xC1000002), nullptr);
  EXPECT_EQ(platform::SystemMessage(10004), nullptr);
}

}  // namespace
