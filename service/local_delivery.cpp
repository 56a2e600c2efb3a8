// The two delivery steps, each run in a child with the recipient's identity (see
// user_process.h). Nothing here runs with the service's own rights. The child hands
// back one four-byte code per message.
#include "local_delivery.h"

#include <cstring>
#include <functional>

#include "delivery/deliver_files.h"
#include "pellam_mailbox.h"
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

std::string StagingFolder(const MailProfile& profile) {
  return std::string(profile.MailDirectory) + kStagingFolder;
}

uint32_t EnsureStagingFolder(const MailProfile& profile) {
  const std::string directory = profile.MailDirectory;
  if (const uint32_t code = EnsureDirectory(directory.substr(0, directory.size() - 1))) return code;
  return EnsureDirectory(StagingFolder(profile));
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

// One staged file, flushed when `flush` asks for it; otherwise, and for its directory
// entry in any case, the flush is the caller's.
uint32_t WriteStaged(const std::string& staged, const ContentWriter& write, bool flush) {
  const std::string part = staged + ".part";
  platform::UniqueFile file(platform::CreateFile(part.c_str(), platform::kWrite, platform::kShareNone,
                                                 platform::kCreateAlways, 0600));
  if (!file) return LastError();
  if (!write(file.get()) || (flush && !platform::FlushFile(file.get())) || !platform::CloseFile(file.release())) {
    const uint32_t code = LastError();
    platform::DeleteFile(part.c_str());
    return code;
  }
  // A staged file left by an earlier attempt was never placed (its step was not
  // recorded), so it is replaced by this one.
  if (!platform::DeleteFile(staged.c_str()) && platform::GetLastError() != ERROR_FILE_NOT_FOUND) return LastError();
  if (!platform::MoveFile(part.c_str(), staged.c_str())) return LastError();
  return 0;
}

// In the child: every message staged, then flushed; a failed flush fails every message
// it was to secure. One message is flushed with its folder; several are flushed together
// by one flush of their filesystem, which waits for the disk once where a flush of each
// file would wait once per file (and, since Linux 5.8, reports a failed write-back as
// the file's own flush would).
std::vector<uint32_t> StageAll(const MailProfile& profile, const std::vector<std::string>& names,
                               const std::function<ContentWriter(size_t)>& writer) {
  std::vector<uint32_t> codes(names.size(), 0);
  if (const uint32_t code = EnsureStagingFolder(profile)) {
    codes.assign(names.size(), code);
    return codes;
  }
  const bool alone = names.size() == 1;
  bool any = false;
  for (size_t i = 0; i < names.size(); ++i) {
    codes[i] = WriteStaged(names[i], writer(i), alone);
    any = any || codes[i] == 0;
  }
  const std::string folder = StagingFolder(profile);
  if (any && !(alone ? platform::FlushDirectory(folder.c_str()) : platform::FlushFileSystem(folder.c_str()))) {
    const uint32_t code = LastError();
    for (uint32_t& c : codes) {
      if (c == 0) c = code;
    }
  }
  return codes;
}

// A counter file that another process holds would cost the placement its 20 s of
// waiting; a user busy with her "new" folder is served on a later pass instead, and
// the other recipients meanwhile. Anything else about the file is the placement's to find.
uint32_t CounterBusy(const MailProfile& profile) {
  const std::string counter = std::string(profile.MailDirectory) + mailbox::kNewFolder + mailbox::kCounterName;
  platform::UniqueFile file(
      platform::CreateFile(counter.c_str(), platform::kRead, platform::kShareNone, platform::kOpenExisting));
  if (file || platform::GetLastError() != ERROR_SHARING_VIOLATION) return 0;
  return ERROR_SHARING_VIOLATION;
}

// In the child. A staged file that is gone was placed by an earlier attempt, whose
// flush of "new" may not have happened: the folder is flushed again for it.
std::vector<uint32_t> PlaceAll(const MailProfile& profile, const std::vector<std::string>& staged) {
  std::vector<uint32_t> codes(staged.size(), 0);
  if (const uint32_t code = CounterBusy(profile)) {
    codes.assign(staged.size(), code);
    return codes;
  }
  std::vector<std::string> present;
  std::vector<size_t> at;
  for (size_t i = 0; i < staged.size(); ++i) {
    if (Exists(staged[i])) {
      present.push_back(staged[i]);
      at.push_back(i);
    }
  }
  const std::vector<delivery::FileDelivery> placed = delivery::DeliverMailFiles(present, profile);
  for (size_t k = 0; k < placed.size(); ++k) {
    codes[at[k]] = placed[k].code;
    // Placed by copying (the folder lies on another filesystem): the staged file must
    // go, or a later attempt would place it again.
    if (placed[k].code == 0 && !placed[k].moved) platform::DeleteFile(present[k].c_str());
  }
  if (present.size() < staged.size()) {
    std::string folder = std::string(profile.MailDirectory) + mailbox::kNewFolder;
    folder.pop_back();  // the directory itself, without its slash
    const uint32_t flushed = platform::FlushDirectory(folder.c_str()) ? 0 : LastError();
    std::vector<bool> was_present(staged.size(), false);
    for (size_t i : at) was_present[i] = true;
    for (size_t i = 0; i < staged.size(); ++i) {
      if (!was_present[i]) codes[i] = flushed;
    }
  }
  return codes;
}

std::string Encode(const std::vector<uint32_t>& codes) {
  std::string out(codes.size() * sizeof(uint32_t), '\0');
  if (!codes.empty()) std::memcpy(out.data(), codes.data(), out.size());
  return out;
}

// The codes a child handed back, or its own failure for every message.
std::vector<uint32_t> Decode(uint32_t child, const std::string& data, size_t count) {
  if (child == 0 && data.size() != count * sizeof(uint32_t)) child = ERR_SERVICE_INTERNAL;
  if (child != 0) return std::vector<uint32_t>(count, child);
  std::vector<uint32_t> codes(count);
  if (count != 0) std::memcpy(codes.data(), data.data(), data.size());
  return codes;
}

}  // namespace

std::string StagedPath(const MailProfile& profile, const std::string& job_base, size_t index) {
  return StagingFolder(profile) + "/" + job_base + "-" + std::to_string(index) + ".mai";
}

std::vector<uint32_t> StageMessages(const platform::Account& user, const MailProfile& profile,
                                    const std::vector<MessageToStage>& messages) {
  if (messages.empty()) return {};
  std::vector<std::string> names;
  for (const MessageToStage& m : messages) names.push_back(m.staged);
  const auto writer = [&](size_t i) -> ContentWriter {
    return [bytes = messages[i].bytes](int file) {
      return platform::WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()));
    };
  };
  std::string data;
  const uint32_t child = RunAsUser(
      user, [&](std::string* out) { *out = Encode(StageAll(profile, names, writer)); return 0u; }, &data);
  return Decode(child, data, messages.size());
}

uint32_t StageMessageFile(const platform::Account& user, const MailProfile& profile, const std::string& staged,
                          int source) {
  // The child is lent the descriptor: the service's file is read through it, never
  // opened by name with the user's rights (it is not the user's to read).
  const auto writer = [source](size_t) -> ContentWriter { return [source](int file) { return CopyFrom(source, file); }; };
  return RunAsUserWithFile(user, source, [&](std::string*) { return StageAll(profile, {staged}, writer)[0]; });
}

uint32_t DiscardStaged(const platform::Account& user, const std::string& staged) {
  return RunAsUser(user, [&](std::string*) {
    return platform::DeleteFile(staged.c_str()) || platform::GetLastError() == ERROR_FILE_NOT_FOUND ? 0u : LastError();
  });
}

std::vector<uint32_t> PlaceStagedMessages(const platform::Account& user, const MailProfile& profile,
                                          const std::vector<std::string>& staged) {
  if (staged.empty()) return {};
  std::string data;
  const uint32_t child =
      RunAsUser(user, [&](std::string* out) { *out = Encode(PlaceAll(profile, staged)); return 0u; }, &data);
  return Decode(child, data, staged.size());
}

uint32_t PlaceStaged(const platform::Account& user, const MailProfile& profile, const std::string& staged) {
  return PlaceStagedMessages(user, profile, {staged})[0];
}

}  // namespace pellam::service
