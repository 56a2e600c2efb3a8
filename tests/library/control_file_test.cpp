// The control-file reader: every malformed file is ERR_CONTROL_FILE and nothing past
// its bytes is read; a file it accepts re-encodes to the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "compose/control_file_reader.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "sandbox.h"

namespace {

namespace control = pellam::control;

// A valid control file of two records, built by hand rather than by the encoder.
std::string ValidFile() {
  std::string b;
  auto put16 = [&](unsigned v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(1), put16(2), put16(0), put16(0);
  put16(2), put16(28), put32(0), put32(0x89ABCDEF), put32(0x01D12345), b.append(16, '\0');
  put16(3), put16(4), put32(1);
  put16(4), put16(8), put32(72 + 32 + 40 + 4), put32(20);
  put16(5), put16(8), put32(72 + 32 + 40 + 4 + 20), put32(5);
  put16(6), put16(5 + 23), b.append(16, '\0'), b.append({0, 0, 0, 5, 61, 0}), b.append("SMITH"), b.push_back('\0');
  put16(6), put16(12 + 23), b.append(16, '\0'), b.append({0, 5, 7, 5, 61, 0}), b.append("NODEA::JONES");
  b.append(2, '\0');
  put32(0);
  b.append("From: ann\r\nTo: x\r\n\r\n");
  b.append("hello");
  return b;
}

// Decodes from a block of exactly the file's size, so a read past it is caught by
// the sanitizer builds.
uint32_t Decode(const std::string& bytes, control::ControlFile* file) {
  auto block = std::make_unique<uint8_t[]>(bytes.size() + 1);
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return control::DecodeControlFile(block.get(), bytes.size(), file);
}

TEST(ControlFile, AValidFileReadsAndReencodesToItself) {
  const std::string bytes = ValidFile();
  control::ControlFile f;
  ASSERT_EQ(Decode(bytes, &f), 0u);
  EXPECT_EQ(f.creation_time, 0x01D1234589ABCDEFull);
  EXPECT_EQ(f.options, 1u);
  ASSERT_EQ(f.addresses.size(), 2u);
  EXPECT_EQ(f.addresses[1].text, "NODEA::JONES");
  EXPECT_EQ(f.addresses[1].node_length, 5);
  EXPECT_EQ(f.addresses[1].user_offset, 7);
  EXPECT_EQ(f.sections.header_offset, 148u);
  EXPECT_EQ(f.sections.text_length, 5u);
  const std::string header = bytes.substr(f.sections.header_offset, f.sections.header_length);
  const std::string text = bytes.substr(f.sections.text_offset, f.sections.text_length);
  EXPECT_EQ(header, "From: ann\r\nTo: x\r\n\r\n");
  EXPECT_EQ(text, "hello");
  EXPECT_TRUE(control::EncodeControlFile(f, header, text) == bytes);
}

TEST(ControlFile, MalformedFilesAreRefused) {
  // Each row damages one thing of the valid file.
  using Damage = std::function<void(std::string&)>;
  auto set16 = [](std::string& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
  };
  const struct {
    const char* what;
    Damage damage;
  } rows[] = {
      {"item 1 of another type", [&](std::string& b) { set16(b, 0, 7); }},
      {"item 1 of another length", [&](std::string& b) { set16(b, 2, 4); }},
      {"padding of item 1 not zero", [](std::string& b) { b[6] = 1; }},
      {"item 2 of another length", [&](std::string& b) { set16(b, 10, 24); }},
      {"reserved bytes of item 2 not zero", [](std::string& b) { b[30] = 1; }},
      {"item 4 missing", [&](std::string& b) { set16(b, 48, 6); }},
      {"item 5 of another length", [&](std::string& b) { set16(b, 62, 4); }},
      {"record of an unknown type", [&](std::string& b) { set16(b, 72, 9); }},
      {"record length too short for any text", [&](std::string& b) { set16(b, 74, 23); }},
      {"record length past the end", [&](std::string& b) { set16(b, 74, 0xFFFF); }},
      {"record length one longer", [&](std::string& b) { set16(b, 74, 29); }},
      {"reserved bytes of a record not zero", [](std::string& b) { b[80] = 1; }},
      {"byte after the form not zero", [](std::string& b) { b[97] = 1; }},
      {"unknown form", [](std::string& b) { b[96] = 62; }},
      {"user part past the text", [](std::string& b) { b[95] = 6; }},
      {"node part past the text", [](std::string& b) { b[72 + 32 + 20] = 10; }},
      {"NUL inside the address", [](std::string& b) { b[100] = 0; }},
      {"no NUL after the address", [](std::string& b) { b[103] = 'X'; }},
      {"padding of a record not zero", [](std::string& b) { b[143] = 1; }},
      {"end mark of a non-zero length", [&](std::string& b) { set16(b, 146, 4); }},
      {"header offset not after the end mark", [&](std::string& b) { set16(b, 52, 150); }},
      {"text offset not header offset + length", [&](std::string& b) { set16(b, 64, 167); }},
      {"text longer than the file", [&](std::string& b) { set16(b, 68, 6); }},
      {"header length past the end", [&](std::string& b) { b[59] = 0x7F; }},
      {"offsets near 4 GiB", [&](std::string& b) { b[67] = '\xFF'; }},
      {"bytes after the text", [](std::string& b) { b += "!"; }},
      {"no end mark, sections cut off", [](std::string& b) { b.resize(144); }},
      {"no record at all", [](std::string& b) {
         std::string no_records = b.substr(0, 72) + std::string(4, '\0') + b.substr(148);
         no_records[52] = 76, no_records[64] = 96;
         b = no_records;
       }},
  };
  for (const auto& row : rows) {
    std::string bytes = ValidFile();
    row.damage(bytes);
    control::ControlFile f;
    f.options = 12345;
    EXPECT_EQ(Decode(bytes, &f), ERR_CONTROL_FILE) << row.what;
    EXPECT_EQ(f.options, 12345u) << row.what << ": filled although refused";
  }
}

TEST(ControlFile, EveryTruncationIsRefused) {
  const std::string bytes = ValidFile();
  for (size_t size = 0; size < bytes.size(); ++size) {
    control::ControlFile f;
    EXPECT_EQ(Decode(bytes.substr(0, size), &f), ERR_CONTROL_FILE) << size;
  }
  control::ControlFile f;
  EXPECT_EQ(control::DecodeControlFile(nullptr, 0, &f), ERR_CONTROL_FILE);
}

TEST(ControlFile, ReadingAFileReportsThePlatformsCodes) {
  pellam::test::Sandbox box;
  const std::string path = box.Path("snd0001.mai");
  pellam::test::WriteTextFile(path, ValidFile());
  control::ControlFileContents c;
  ASSERT_EQ(control::ReadControlFile(path.c_str(), &c), 0u);
  EXPECT_EQ(c.header(), "From: ann\r\nTo: x\r\n\r\n");
  EXPECT_EQ(c.text(), "hello");
  EXPECT_EQ(control::ReadControlFile(box.Path("missing.mai").c_str(), &c), ERROR_FILE_NOT_FOUND);
  for (auto op : {platform::fault::Op::Open, platform::fault::Op::Seek, platform::fault::Op::Read}) {
    platform::fault::Scope faults;
    platform::fault::FailNth(op, 1, ERROR_IO_DEVICE);
    EXPECT_EQ(control::ReadControlFile(path.c_str(), &c), ERROR_IO_DEVICE) << static_cast<unsigned>(op);
  }
  pellam::test::WriteTextFile(path, ValidFile().substr(0, 100));
  EXPECT_EQ(control::ReadControlFile(path.c_str(), &c), ERR_CONTROL_FILE);
}

}  // namespace
