// CreateMailMessage and CloseMailMessage: a handle's life. The control file is born
// in the temporary directory with items 1 to 5 and dies there unless posted; a
// handle that cannot be completed leaves no file behind.
#include <cstring>

#include "compose/control_file_format.h"
#include "compose/message_handle.h"
#include "frame/export_barrier.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tempfile.h"

namespace pellam {
namespace {

// The queue name: the queue directory, then the temporary file's final name with
// everything from its last dot replaced by ".mai".
Status MakeQueueName(const char* queue_directory, MailMessage* m) {
  char full[PELLAM_MAX_PATH];
  char* final_name = nullptr;
  const uint32_t length = platform::GetFullPathName(m->temp_name, sizeof full, full, &final_name);
  if (length == 0) return LastError();
  if (length >= sizeof full) return Status(ERROR_BUFFER_OVERFLOW);
  const size_t directory_length = std::strlen(queue_directory);
  const char* dot = std::strrchr(final_name, '.');
  if (directory_length + std::strlen(final_name) >= PELLAM_MAX_PATH || dot == nullptr) {
    return Status(ERROR_BUFFER_OVERFLOW);
  }
  const size_t stem = static_cast<size_t>(dot - final_name);
  std::memcpy(m->queue_name, queue_directory, directory_length);
  std::memcpy(m->queue_name + directory_length, final_name, stem);
  std::memcpy(m->queue_name + directory_length + stem, PELLAM_QUEUE_FILE_SUFFIX,
              sizeof PELLAM_QUEUE_FILE_SUFFIX);
  return Status();
}

// Opens the new control file and writes its first items; 0 or the failure, with the
// file still open for the caller to discard.
Status StartControlFile(const MailSystemProfile& profile, uint32_t options, MailMessage* m) {
  m->file = platform::CreateFile(m->temp_name, platform::kWrite, platform::kShareNone,
                                 platform::kOpenExisting);
  if (m->file == platform::kInvalidFile) return LastError();
  const auto items = control::EncodeLeadingItems(0, control::CurrentFileTime(), options & 1);
  if (!platform::WriteFile(m->file, items.data(), items.size())) return LastError();
  m->item4_position = control::kSectionItemsOffset;
  return MakeQueueName(profile.MailQueuePath, m);
}

// Closes the control file if it is open and deletes it if it still exists in the
// temporary directory: 0 or the code of the failed delete.
Status DiscardControlFile(MailMessage* m) {
  if (m->file != platform::kInvalidFile) {
    platform::CloseFile(m->file);
    m->file = platform::kInvalidFile;
  }
  if (m->temp_name[0] == '\0') return Status();
  if (!platform::DeleteFile(m->temp_name)) return LastError();
  m->temp_name[0] = '\0';
  return Status();
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

namespace {

// The new handle in `*handle`, or the failure with nothing left behind.
Status CreateMessage(uint32_t options, MailMessage** handle) {
  MailSystemProfile profile;
  if (const uint32_t code = GetSystemProfile(&profile)) {
    return Status(code == ERR_NO_PARAMETERS ? ERR_NO_PARAMETERS : ERR_BAD_PARAMETERS);
  }
  auto* m = static_cast<MailMessage*>(AllocZeroMem(sizeof(MailMessage)));
  if (m == nullptr) return LastError();
  m->file = platform::kInvalidFile;
  if (platform::GetTempFileName(profile.MailTempPath, PELLAM_QUEUE_FILE_PREFIX, m->temp_name) == 0) {
    const Status failed = LastError();
    FreeRecord(m);
    return failed;
  }
  // From here on the temporary file exists: every failure removes it again, also
  // when it could not be opened, so that no empty file is left behind. The first
  // failure is the one reported.
  if (const Status started = StartControlFile(profile, options, m); !started.ok()) {
    static_cast<void>(DiscardControlFile(m));
    FreeRecord(m);
    return started;
  }
  m->signature = kOpenSignature;
  m->state = MSG_CREATED;
  *handle = m;
  return Status();
}

Status CloseMessage(MailMessage* m) {
  if (!IsOpenHandle(m)) return Status(ERR_BAD_HANDLE);
  const Status result = m->state == MSG_POSTED ? Status() : DiscardControlFile(m);
  FreeRecord(m);
  return result;
}

}  // namespace

extern "C" PELLAM_API MailHandle CreateMailMessage(uint32_t options) {
  MailMessage* handle = nullptr;
  if (const uint32_t code = Barrier([&] { return CreateMessage(options, &handle); })) {
    platform::SetLastError(code);
    return nullptr;
  }
  return handle;
}

extern "C" PELLAM_API uint32_t CloseMailMessage(MailHandle m) {
  const uint32_t result = Barrier([&] { return CloseMessage(m); });
  platform::SetLastError(result);
  return result;
}
