// The library frame: texts of status codes in all four steps, memory blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/catalogue.h"
#include "pellam.h"
#include "platform/errors.h"

namespace {

std::string Text(uint32_t code, uint32_t size = 256, const char* const* args = nullptr) {
  std::string buffer(size, '\x55');
  return GetErrorText(code, buffer.data(), size, args);
}

TEST(ErrorText, CatalogueTextsEndInCrLf) {
  EXPECT_EQ(Text(0x81000026), "No such mail alias.\r\n");
  EXPECT_EQ(Text(ERR_BAD_HANDLE), "The message handle is not valid. \r\n");  // the blank stays
  EXPECT_EQ(Text(EVT_ABNORMAL_END),
            "Abnormal end due to previous unhandled error.\r\nControl file: %1\r\nFrom: %2\r\n"
            "The job is now in an unknown state. \r\n");
  EXPECT_EQ(Text(0x2AFC), "No data record of requested type.\r\n");
  EXPECT_EQ(Text(0x01020075), "Operation not supported on socket.\r\n");
}

TEST(ErrorText, PlatformTextComesFirst) {
  EXPECT_EQ(Text(ERROR_FILE_NOT_FOUND), platform::SystemMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Text(0), platform::SystemMessage(0));
}

TEST(ErrorText, InsertsOnlyForTheLibraryAndServiceFacilities) {
  const char* two[] = {"SMITH", "NODE1"};
  EXPECT_EQ(Text(0xC1000002, 256, two), "No such user SMITH at NODE1.\r\n");
  EXPECT_EQ(Text(0xC1000002), "No such user %1 at %2.\r\n");
  const char* three[] = {"/var/q/x.mai", "b", "Access is denied."};
  EXPECT_EQ(Text(EVT_FILE_OPEN, 256, three), "Can't open file /var/q/x.mai.\r\nAccess is denied.\r\n");
  // A socket code or a Pathworks code keeps its text whatever the arguments.
  const char* junk[] = {"X", "Y", "Z"};
  EXPECT_EQ(Text(10004, 256, junk), "Interrupted system call.\r\n");
  EXPECT_EQ(Text(0x01020000, 256, junk), "Pathworks error 0.\r\n");
}

TEST(ErrorText, FallbacksNameTheCode) {
  EXPECT_EQ(Text(0xC1000099), "Unknown Pellam error code 3238002841 (sev=3,id=153)\r\n");
  EXPECT_EQ(Text(0xC1050007), "Unknown error code 3238330375 (sev=3,fac=261,id=7)\r\n");
  EXPECT_EQ(Text(9999), "Unknown error code 9999 (sev=0,fac=0,id=9999)\r\n");
}

TEST(ErrorText, ATextThatDoesNotFitFallsToTheNextStep) {
  // 21 characters + NUL fit exactly; one byte less falls through to the fallback,
  // which does not fit either, and so to the constant.
  EXPECT_EQ(Text(0x81000026, 22), "No such mail alias.\r\n");
  std::string small(21, 'x');
  const char* got = GetErrorText(0x81000026, small.data(), 21, nullptr);
  EXPECT_STREQ(got, "ERROR REPORTING IS HORRIBLY BROKEN\r\n");
  EXPECT_EQ(small[0], '\0');
  // Inserts that make the text too long fall through to the numbered fallback.
  std::string long_name(300, 'N');
  const char* args[] = {long_name.c_str(), "X"};
  EXPECT_EQ(Text(ERR_NO_SUCH_USER, 256, args),
            "Unknown Pellam error code 3238002690 (sev=3,id=2)\r\n");
}

TEST(ErrorText, TheConstantNeedsNoBuffer) {
  char ten[10];
  std::memset(ten, 'x', sizeof ten);
  const char* got = GetErrorText(0xC1050007, ten, sizeof ten, nullptr);
  EXPECT_STREQ(got, "ERROR REPORTING IS HORRIBLY BROKEN\r\n");
  EXPECT_NE(got, ten);
  EXPECT_EQ(ten[0], '\0');

  EXPECT_STREQ(GetErrorText(2, nullptr, 256, nullptr), "ERROR REPORTING IS HORRIBLY BROKEN\r\n");
  char untouched = 'x';
  EXPECT_STREQ(GetErrorText(2, &untouched, 0, nullptr), "ERROR REPORTING IS HORRIBLY BROKEN\r\n");
  EXPECT_EQ(untouched, 'x');
}

TEST(Catalogue, EveryCodeHasATextAndTheFamiliesAreComplete) {
  uint32_t library = 0, events = 0, sockets = 0, pathworks = 0;
  for (uint32_t i = 0; i < pellam::CatalogueSize(); ++i) {
    uint32_t code = pellam::CatalogueCode(i);
    std::string text = Text(code, 512);
    ASSERT_GE(text.size(), 3u) << std::hex << code;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << std::hex << code;
    EXPECT_NE(text.rfind("Unknown error code", 0), 0u) << std::hex << code;  // not a fallback
    EXPECT_NE(text.rfind("Unknown Pellam error code", 0), 0u) << std::hex << code;
    uint32_t facility = (code >> 16) & 0xFFF;
    if (facility == 0x100) ++library;
    if (facility == 0x101) ++events;
    if (facility == 0 && code >= 10004) ++sockets;
    if (facility == 0x102) ++pathworks;
  }
  EXPECT_EQ(library, 41u);
  EXPECT_EQ(events, 11u + 27u);
  EXPECT_EQ(sockets, 51u);
  EXPECT_EQ(pathworks, 20u);
  // Library ids run 1 to 41 with the severities of their names.
  EXPECT_EQ(ERR_UNKNOWN, 0xC1000001u);
  EXPECT_EQ(INF_RSP_SUCCESS, 0x41000024u);
  EXPECT_EQ(ERR_CANNOT_RECEIVE, 0xC1000029u);
  EXPECT_EQ(EVT_RECEIVER_READY, 0x410103E9u);
  EXPECT_EQ(EVT_AUTO_REPLY_FAILED, 0xC1010467u);
}

TEST(LibraryMemory, BlocksComeAndGoThroughTheLibrary) {
  auto* p = static_cast<char*>(ReallocMem(nullptr, 8));  // as AllocMem
  ASSERT_NE(p, nullptr);
  std::strcpy(p, "1234567");
  p = static_cast<char*>(ReallocMem(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "1234567");
  EXPECT_EQ(FreeMem(p), nullptr);

  auto* z = static_cast<unsigned char*>(AllocZeroMem(32));
  ASSERT_NE(z, nullptr);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(z[i], 0);
  EXPECT_EQ(FreeMem(z), nullptr);

  alignas(16) char stack[32] = {};
  EXPECT_EQ(FreeMem(stack + 16), stack + 16);  // not a block: handed back, not freed
  EXPECT_EQ(CheckMem(), 0xFFFFFFFFu);
}

}  // namespace
