// PostMailMessage: completes the control file and renames it into the queue. The
// file is flushed to disk before the rename and the queue directory after it, so a
// file the service sees is whole, and a message reported as posted survives a crash.
// A message that is not posted leaves nothing in the queue.
#include <cstring>
#include <string>

#include "compose/control_file_format.h"
#include "compose/message_handle.h"
#include "compose/state_step.h"
#include "frame/export_barrier.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellam {
namespace {

// Writes items 4 and 5 at offset 48, flushes and closes the file. The handle's file
// is marked closed whatever happens, once the close was tried.
Status CompleteControlFile(MailMessage* m) {
  const control::Sections sections{m->header_offset, m->header_length, m->text_offset, m->text_length};
  const auto items = control::EncodeSectionItems(sections);
  if (!platform::SetFilePointer(m->file, m->item4_position, platform::kBegin) ||
      !platform::WriteFile(m->file, items.data(), items.size()) || !platform::FlushFile(m->file)) {
    return LastError();
  }
  const bool closed = platform::CloseFile(m->file);
  m->file = platform::kInvalidFile;
  return closed ? Status() : LastError();
}

bool NameTaken(uint32_t code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }

// Moves the file into the queue under its own name or, while that is taken, with the
// character before the last dot replaced by "z", "y", ... "a": 27 names in all.
Status MoveIntoQueue(MailMessage* m) {
  char* last_dot = std::strrchr(m->queue_name, '.');
  char* changed = last_dot != nullptr && last_dot > m->queue_name ? last_dot - 1 : nullptr;
  for (char letter = 'z' + 1;; --letter) {
    if (letter <= 'z') {
      if (changed == nullptr) return Status(ERROR_ALREADY_EXISTS);
      *changed = letter;
    }
    if (platform::MoveFile(m->temp_name, m->queue_name)) return Status();
    const Status failed = LastError();
    if (!NameTaken(failed.code()) || letter == 'a') return failed;
  }
}

// The queue directory of the queue name, with its trailing "/".
std::string QueueDirectory(const MailMessage* m) {
  const char* slash = std::strrchr(m->queue_name, '/');
  return slash == nullptr ? std::string("./") : std::string(m->queue_name, slash + 1);
}

Status Post(MailMessage* m) {
  if (Status s = EnterState(m, {MSG_TEXTED, MSG_POSTED, false}); !s.ok()) return s;
  if (Status s = CompleteControlFile(m); !s.ok()) return s;
  if (Status s = MoveIntoQueue(m); !s.ok()) return s;
  m->temp_name[0] = '\0';  // the file now belongs to the queue
  if (!platform::FlushDirectory(QueueDirectory(m).c_str())) {
    // The rename is not known to be on disk, so the message is not posted: take it
    // back out of the queue rather than report a failure for a file the service
    // may send all the same.
    const Status failed = LastError();
    // Best effort: should the delete fail too, the flush failure is the one to report.
    platform::DeleteFile(m->queue_name);
    return failed;
  }
  LeaveState(m);
  return Status();
}

}  // namespace
}  // namespace pellam

extern "C" PELLAM_API uint32_t PostMailMessage(MailHandle message) {
  return pellam::ReportingBarrier([&] { return pellam::Post(message); });
}
