// pellqueue: shows the control files waiting in the queue directory.
#include <cstring>
#include <iostream>

#include "pellam.h"
#include "platform/text_line.h"
#include "show_queue_file.h"

namespace {

const char kUsage[] =
    "usage:  pellqueue FILE...\n"
    "    Shows each queued control file decoded: its creation time, its addresses\n"
    "    with their node and user parts, its header section and its text.\n"
    "    --help     show this text\n"
    "    --version  show the version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::cout << "pellqueue " << PELLQUEUE_VERSION << "\n";
    return 0;
  }
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) std::cout << "\n";
    if (uint32_t code = pellqueue::ShowQueueFile(argv[i], std::cout)) {
      char text[256];
      const std::string_view message = platform::WithoutLineEnd(GetErrorText(code, text, sizeof text, nullptr));
      std::cerr << "pellqueue: " << argv[i] << ": " << message << "\n";
      result = 1;
    }
  }
  return result;
}
