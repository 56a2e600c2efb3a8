// One message file's headers for the folder list.
#include "folder/entry_reader.h"

#include <algorithm>

#include "app/client_services.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pelldesk {
namespace {

constexpr int32_t kHeaderCount = 3;
const char* const kHeaderNames[kHeaderCount] = {"Received", "From", "Subject"};
enum { kReceived = 0, kFrom = 1, kSubject = 2 };

// The header values as the library hands them out, given back to it on scope exit.
struct HeaderValues {
  char* values[kHeaderCount] = {nullptr, nullptr, nullptr};
  ~HeaderValues() { FreeMailHeaders(kHeaderCount, values); }
};

// Reads chunks into `buffer` until the library has the whole header section, the
// limit is reached or a read brings nothing; returns the last result of
// GetMailHeaders (234 when it never had enough text).
uint32_t ReadHeaderSection(int file, const std::string& fileName, uint32_t size, std::vector<char>* buffer,
                           HeaderValues* headers, ErrorReporter& errors) {
  if (buffer->size() < size) buffer->resize(size);
  uint32_t result = ERROR_MORE_DATA;
  uint32_t have = 0;
  while (have < size) {
    uint32_t got = 0;
    const uint32_t want = std::min(kHeaderChunk, size - have);
    if (!platform::ReadFile(file, buffer->data() + have, want, &got) || got == 0) {
      errors.ReportError("File %s cannot be read.", fileName.c_str(), 0, 0);
      break;
    }
    have += got;
    const char* text = buffer->data();
    int32_t length = static_cast<int32_t>(have);
    result = GetMailHeaders(&text, &length, kHeaderCount, kHeaderNames, headers->values);
    if (result != ERROR_MORE_DATA) break;
  }
  return result;
}

std::string SenderOf(const char* value) {
  if (value == nullptr) return {};
  const char* start = nullptr;
  int32_t length = 0;
  if (TrimAddress(value, 0, &start, &length) == 0 && start != nullptr && length >= 0) {
    return std::string(start, static_cast<std::size_t>(length));
  }
  return value;
}

}  // namespace

void ReadEntryHeaders(const std::string& folderPath, MessageEntry* entry, std::vector<char>* buffer,
                      ErrorReporter& errors) {
  const std::string path = folderPath + entry->fileName;
  platform::UniqueFile file(platform::CreateFile(path.c_str(), platform::kRead,
                                                 platform::kShareRead | platform::kShareWrite,
                                                 platform::kOpenExisting));
  if (!file) {
    errors.ReportError("Mail file %s cannot be opened.", entry->fileName.c_str(), platform::GetLastError(), 0);
    return;
  }
  uint64_t fileSize = 0;
  // A size that cannot be read reads as an empty file: the headers then cannot be
  // extracted, which is reported below.
  if (!platform::GetFileSize(file.get(), &fileSize)) fileSize = 0;
  const auto size = static_cast<uint32_t>(std::min<uint64_t>(fileSize, kHeaderReadLimit));

  HeaderValues headers;
  const uint32_t result = ReadHeaderSection(file.get(), entry->fileName, size, buffer, &headers, errors);
  if (result != 0) {
    errors.ReportError("%s - can't extract message headers.", entry->fileName.c_str(), result, 0);
  }

  MailDate received{};
  entry->received = ExtractReceiveDate(headers.values[kReceived], &received) == 0 ? received : MailDate{};
  entry->from = SenderOf(headers.values[kFrom]);
  if (entry->from.empty()) entry->from = kUnknownSender;
  entry->subject = headers.values[kSubject] != nullptr ? headers.values[kSubject] : "";
}

}  // namespace pelldesk
