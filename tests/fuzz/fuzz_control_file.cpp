// Fuzzes the control-file reader. The data sits in a block of exactly its size, so a
// read past the end is caught. Checked: the only results are success and
// ERR_CONTROL_FILE; a refusal names a byte within the data, and the data cut just
// after that byte is refused too (the reader stopped there, whatever follows); an
// accepted file describes parts inside its address texts and
// sections inside the file, and re-encodes to exactly the same bytes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "compose/control_file_reader.h"
#include "fuzz_check.h"
#include "pellam.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto block = std::make_unique<uint8_t[]>(size);
  if (size > 0) std::memcpy(block.get(), data, size);
  pellam::control::ControlFile file;
  size_t error_at = 0;
  const uint32_t status = pellam::control::DecodeControlFile(block.get(), size, &file, &error_at);
  FUZZ_CHECK(status == 0 || status == ERR_CONTROL_FILE);
  if (status != 0) {
    FUZZ_CHECK(error_at <= size);
    const size_t cut = error_at < size ? error_at + 1 : size;
    pellam::control::ControlFile again;
    FUZZ_CHECK(pellam::control::DecodeControlFile(block.get(), cut, &again) == ERR_CONTROL_FILE);
    return 0;
  }

  FUZZ_CHECK(!file.addresses.empty());
  for (const auto& r : file.addresses) {
    FUZZ_CHECK(!r.text.empty() && r.text.find('\0') == std::string::npos);
    FUZZ_CHECK(size_t{r.node_offset} + r.node_length <= r.text.size());
    FUZZ_CHECK(size_t{r.user_offset} + r.user_length <= r.text.size());
  }
  const auto& s = file.sections;
  FUZZ_CHECK(uint64_t{s.text_offset} + s.text_length == size);
  const std::string_view bytes(reinterpret_cast<const char*>(block.get()), size);
  const std::string again = pellam::control::EncodeControlFile(file, bytes.substr(s.header_offset, s.header_length),
                                                               bytes.substr(s.text_offset, s.text_length));
  FUZZ_CHECK(again == bytes);
  return 0;
}
