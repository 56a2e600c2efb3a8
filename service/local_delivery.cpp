// The two delivery steps, each run in a child with the recipient's identity (see
// user_process.h). Nothing here runs with the service's own rights.
#include "local_delivery.h"

#include <functional>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"
#include "user_process.h"

namespace pellam::service {
namespace {

constexpr char kStagingFolder[] = ".incoming";

uint32_t LastError() {
  const uint32_t code = platform::GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

// Creates a directory unless it is there.
uint32_t EnsureDirectory(const std::string& path) {
  if (platform::CreateDirectory(path.c_str(), 0700) || platform::GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return LastError();
}

bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path.c_str()) != platform::kInvalidAttributes;
}

// Writes the content into an open file: false with the last-error value set.
using ContentWriter = std::function<bool(int file)>;

// Copies an open file from its start, a piece at a time, so that a long message never
// has to be held in memory whole.
bool CopyFrom(int source, int target) {
  if (!platform::SetFilePointer(source, 0, platform::kBegin)) return false;
  std::vector<char> piece(64 * 1024);
  for (;;) {
    uint32_t got = 0;
    if (!platform::ReadFile(source, piece.data(), static_cast<uint32_t>(piece.size()), &got)) return false;
    if (got == 0) return true;
    if (!platform::WriteFile(target, piece.data(), got)) return false;
  }
}

uint32_t WriteStaged(const MailProfile& profile, const std::string& staged, const ContentWriter& write) {
  std::string directory = profile.MailDirectory;
  if (const uint32_t code = EnsureDirectory(directory.substr(0, directory.size() - 1))) return code;
  if (const uint32_t code = EnsureDirectory(directory + kStagingFolder)) return code;
  const std::string part = staged + ".part";
  platform::UniqueFile file(platform::CreateFile(part.c_str(), platform::kWrite, platform::kShareNone,
                                                 platform::kCreateAlways, 0600));
  if (!file) return LastError();
  if (!write(file.get()) || !platform::FlushFile(file.get()) || !platform::CloseFile(file.release())) {
    const uint32_t code = LastError();
    platform::DeleteFile(part.c_str());
    return code;
  }
  // A staged file left by an earlier attempt was never placed (its step was not
  // recorded), so it is replaced by this one.
  if (!platform::DeleteFile(staged.c_str()) && platform::GetLastError() != ERROR_FILE_NOT_FOUND) return LastError();
  if (!platform::MoveFile(part.c_str(), staged.c_str())) return LastError();
  if (!platform::FlushDirectory((directory + kStagingFolder).c_str())) return LastError();
  return 0;
}

// A counter file that another process holds would cost DeliverMail its 20 s of
// waiting; a user busy with her "new" folder is served on a later pass instead, and
// the other recipients meanwhile. Anything else about the file is DeliverMail's to find.
uint32_t CounterBusy(const MailProfile& profile) {
  const std::string counter = std::string(profile.MailDirectory) + "new/#serial.dat";
  platform::UniqueFile file(
      platform::CreateFile(counter.c_str(), platform::kRead, platform::kShareNone, platform::kOpenExisting));
  if (file || platform::GetLastError() != ERROR_SHARING_VIOLATION) return 0;
  return ERROR_SHARING_VIOLATION;
}

uint32_t PlaceAsUser(const MailProfile& profile, const std::string& staged) {
  if (!Exists(staged)) return 0;
  if (const uint32_t code = CounterBusy(profile)) return code;
  uint32_t moved = 1;
  const uint32_t code = DeliverMail(staged.c_str(), &profile, &moved);
  if (code != 0) return Exists(staged) ? code : 0;  // gone: the move did happen
  // Placed by copying (the folder lies on another filesystem): the staged file must
  // go, or a later attempt would place it again.
  if (moved == 0) platform::DeleteFile(staged.c_str());
  return 0;
}

}  // namespace

std::string StagedPath(const MailProfile& profile, const std::string& job_base, size_t index) {
  return std::string(profile.MailDirectory) + kStagingFolder + "/" + job_base + "-" + std::to_string(index) + ".mai";
}

uint32_t StageMessage(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                      const std::string& bytes) {
  const ContentWriter write = [&](int file) {
    return platform::WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()));
  };
  return RunAsUser(user, [&](std::string*) { return WriteStaged(profile, staged, write); });
}

uint32_t StageMessageFile(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                          int source) {
  // The child is lent the descriptor: the service's file is read through it, never
  // opened by name with the user's rights (it is not the user's to read).
  const ContentWriter write = [source](int file) { return CopyFrom(source, file); };
  return RunAsUserWithFile(user, source, [&](std::string*) { return WriteStaged(profile, staged, write); });
}

uint32_t DiscardStaged(const platform::Account& user, const std::string& staged) {
  return RunAsUser(user, [&](std::string*) {
    return platform::DeleteFile(staged.c_str()) || platform::GetLastError() == ERROR_FILE_NOT_FOUND ? 0u : LastError();
  });
}

uint32_t PlaceStaged(const platform::Account& user, const MailProfile& profile, const std::string& staged) {
  return RunAsUser(user, [&](std::string*) { return PlaceAsUser(profile, staged); });
}

}  // namespace pellam::service
