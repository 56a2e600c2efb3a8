// Message entries and the number in a message file's name.
#include "folder/message_entry.h"

#include <limits>

namespace pelldesk {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t MessageNumberOf(const std::string& fileName) {
  std::size_t i = 0;
  while (i < fileName.size() && !IsDigit(fileName[i])) ++i;
  // The number must follow at least one non-digit, as the name scan always asked.
  if (i == 0 || i == fileName.size()) return -1;
  int64_t number = 0;
  for (; i < fileName.size() && IsDigit(fileName[i]); ++i) {
    number = number * 10 + (fileName[i] - '0');
    if (number > std::numeric_limits<int32_t>::max()) return -1;
  }
  return static_cast<int32_t>(number);
}

MessageEntry NewListedEntry(const std::string& fileName, bool open) {
  MessageEntry entry;
  entry.fileName = fileName;
  entry.number = MessageNumberOf(fileName);
  entry.from = kHeadersNotRead;
  entry.subject = kHeadersNotRead;
  entry.state = open ? kEntryOpen : kEntryListed;
  return entry;
}

}  // namespace pelldesk
