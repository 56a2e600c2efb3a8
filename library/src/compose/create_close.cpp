// CreateMailMessage and CloseMailMessage: a handle's life. The control file is born
// in the temporary directory with items 1 to 5 and dies there unless posted; a
// handle that cannot be completed leaves no file behind.
#include <cstring>

#include "compose/control_file_format.h"
#include "compose/message_handle.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tempfile.h"

namespace pellam {
namespace {

// The queue name: the queue directory, then the temporary file's final name with
// everything from its last dot replaced by ".mai".
uint32_t MakeQueueName(const char* queue_directory, MailMessage* m) {
  char full[PELLAM_MAX_PATH];
  char* final_name = nullptr;
  const uint32_t length = platform::GetFullPathName(m->temp_name, sizeof full, full, &final_name);
  if (length == 0) return platform::GetLastError();
  if (length >= sizeof full) return ERROR_BUFFER_OVERFLOW;
  const size_t directory_length = std::strlen(queue_directory);
  const char* dot = std::strrchr(final_name, '.');
  if (directory_length + std::strlen(final_name) >= PELLAM_MAX_PATH || dot == nullptr) {
    return ERROR_BUFFER_OVERFLOW;
  }
  const size_t stem = static_cast<size_t>(dot - final_name);
  std::memcpy(m->queue_name, queue_directory, directory_length);
  std::memcpy(m->queue_name + directory_length, final_name, stem);
  std::memcpy(m->queue_name + directory_length + stem, PELLAM_QUEUE_FILE_SUFFIX,
              sizeof PELLAM_QUEUE_FILE_SUFFIX);
  return 0;
}

// Opens the new control file and writes its first items; 0 or the failure, with the
// file still open for the caller to discard.
uint32_t StartControlFile(const MailSystemProfile& profile, uint32_t options, MailMessage* m) {
  m->file = platform::CreateFile(m->temp_name, platform::kWrite, platform::kShareNone,
                                 platform::kOpenExisting);
  if (m->file == platform::kInvalidFile) return platform::GetLastError();
  const auto items = control::EncodeLeadingItems(0, control::CurrentFileTime(), options & 1);
  if (!platform::WriteFile(m->file, items.data(), items.size())) return platform::GetLastError();
  m->item4_position = control::kSectionItemsOffset;
  return MakeQueueName(profile.MailQueuePath, m);
}

// Closes the control file if it is open and deletes it if it still exists in the
// temporary directory: 0 or the code of the failed delete.
uint32_t DiscardControlFile(MailMessage* m) {
  if (m->file != platform::kInvalidFile) {
    platform::CloseFile(m->file);
    m->file = platform::kInvalidFile;
  }
  if (m->temp_name[0] == '\0') return 0;
  if (!platform::DeleteFile(m->temp_name)) return platform::GetLastError();
  m->temp_name[0] = '\0';
  return 0;
}

void FreeRecord(MailMessage* m) {
  m->signature = ~kOpenSignature;
  FreeMem(m->to_text);
  FreeMem(m->cc_text);
  FreeMem(m);
}

}  // namespace
}  // namespace pellam

using namespace pellam;

extern "C" PELLAM_API MailHandle CreateMailMessage(uint32_t options) {
  MailSystemProfile profile;
  const uint32_t code = GetSystemProfile(&profile);
  if (code != 0) {
    platform::SetLastError(code == ERR_NO_PARAMETERS ? ERR_NO_PARAMETERS : ERR_BAD_PARAMETERS);
    return nullptr;
  }
  auto* m = static_cast<MailMessage*>(AllocZeroMem(sizeof(MailMessage)));
  if (m == nullptr) return nullptr;
  m->file = platform::kInvalidFile;
  if (platform::GetTempFileName(profile.MailTempPath, PELLAM_QUEUE_FILE_PREFIX, m->temp_name) == 0) {
    const uint32_t failure = platform::GetLastError();
    FreeRecord(m);
    platform::SetLastError(failure);
    return nullptr;
  }
  // From here on the temporary file exists: every failure removes it again, also
  // when it could not be opened, so that no empty file is left behind.
  if (const uint32_t failure = StartControlFile(profile, options, m)) {
    DiscardControlFile(m);
    FreeRecord(m);
    platform::SetLastError(failure);
    return nullptr;
  }
  m->signature = kOpenSignature;
  m->state = MSG_CREATED;
  return m;
}

extern "C" PELLAM_API uint32_t CloseMailMessage(MailHandle m) {
  if (!IsOpenHandle(m)) {
    platform::SetLastError(ERR_BAD_HANDLE);
    return ERR_BAD_HANDLE;
  }
  const uint32_t result = m->state == MSG_POSTED ? 0 : DiscardControlFile(m);
  FreeRecord(m);
  platform::SetLastError(result);
  return result;
}
