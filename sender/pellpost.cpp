// The command-line sender: exactly one argument, the message file. Success prints
// nothing; a failure prints the program name and the status text, which already
// ends in CR LF (and so does the one text of its own, for a name that is no file);
// a wrong argument count prints the usage text.
#include "pellpost.h"

#include <cstring>
#include <filesystem>

#include "pellam.h"

namespace pellpost {
namespace {

constexpr char kUsageFormat[] =
    "usage:  %s  filespec\n"
    "    where 'filespec' contains a complete message\n"
    "    including the 'to' and 'cc' addresses\n\n";

}  // namespace

int Run(int argc, const char* const* argv, std::FILE* out) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "pellpost";
  if (argc != 2) {
    std::fprintf(out, kUsageFormat, program);
    return kUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(out, kUsageFormat, program);
    return kPosted;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::fprintf(out, "pellpost %s\n", PELLAM_VERSION);
    return kPosted;
  }
  // A directory or a device holds no message (and /dev/zero would be read until the
  // header section's limit); a name that does not exist is left to the library's text.
  std::error_code ec;
  const auto status = std::filesystem::status(argv[1], ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    std::fprintf(out, "%s: %s is %s, not a file holding a message\r\n", program, argv[1],
                 std::filesystem::is_directory(status) ? "a directory" : "not a regular file");
    return kSendFailed;
  }
  const uint32_t code = SendMailMessageFromFile(argv[1]);
  if (code == 0) return kPosted;
  char text[256];
  std::fprintf(out, "%s: %s", program, GetErrorText(code, text, sizeof text, nullptr));
  return kSendFailed;
}

}  // namespace pellpost
