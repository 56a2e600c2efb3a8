// The three exports that place message files: MoveOrCopy (the checked entry to the
// placement loop), DeliverMail (into a user's "new" folder) and MoveMailFile (filing
// by the client: always a move, a copy being followed by deleting the source).
#include <cstring>

#include "delivery/placement.h"
#include "frame/export_barrier.h"
#include "pellam.h"
#include "pellam_mailbox.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

// A directory argument: at least two characters, ending in "/".
bool IsDirectoryArgument(const char* path) {
  if (path == nullptr) return false;
  const size_t n = std::strlen(path);
  return n >= 2 && path[n - 1] == '/';
}

uint32_t CheckedMoveOrCopy(const char* source, const char* base_directory, const char* sub_directory,
                           uint32_t* moved, char* new_name, uint32_t create_directories) {
  if (moved == nullptr) return ERROR_INVALID_PARAMETER;
  const bool move = *moved != 0;
  *moved = 0;
  if (new_name != nullptr) new_name[0] = '\0';
  if (source == nullptr || !IsDirectoryArgument(base_directory) || !IsDirectoryArgument(sub_directory)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (std::strlen(base_directory) + std::strlen(sub_directory) >= platform::kMaxPath) {
    return ERROR_BUFFER_OVERFLOW;
  }
  pellam::delivery::Placement placement;
  const pellam::Status placed = pellam::delivery::PlaceMessage(source, base_directory, sub_directory, move,
                                                              create_directories != 0, &placement);
  if (placement.placed) {
    *moved = placement.moved ? 1 : 0;
    if (new_name != nullptr) std::memcpy(new_name, placement.target.c_str(), placement.target.size() + 1);
  }
  return placed.code();
}

}  // namespace

extern "C" {

PELLAM_API uint32_t MoveOrCopy(const char* source, const char* base_directory,
                               const char* sub_directory, uint32_t* moved, char* new_name,
                               uint32_t create_directories) {
  return pellam::Barrier([&] {
    return CheckedMoveOrCopy(source, base_directory, sub_directory, moved, new_name, create_directories);
  });
}

PELLAM_API uint32_t DeliverMail(const char* source, const MailProfile* profile, uint32_t* moved) {
  if (profile == nullptr || moved == nullptr ||
      std::memchr(profile->MailDirectory, '\0', sizeof profile->MailDirectory) == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  if (profile->MailDirectory[0] == '\0') {
    *moved = 0;
    return ERR_NO_MAIL_DIRECTORY;
  }
  return MoveOrCopy(source, profile->MailDirectory, pellam::mailbox::kNewFolder, moved, nullptr, 1);
}

PELLAM_API uint32_t MoveMailFile(const char* source, const char* base_directory,
                                 const char* sub_directory, char* new_name,
                                 uint32_t create_directories) {
  uint32_t moved = 1;
  if (const uint32_t code =
          MoveOrCopy(source, base_directory, sub_directory, &moved, new_name, create_directories)) {
    return platform::Fail(code);
  }
  // Copied: the source goes only now that its copy stands in the folder, so that a
  // failure here leaves the message in both places rather than in none.
  if (moved == 0 && !platform::DeleteFile(source)) return platform::Fail(platform::GetLastError());
  return 0;
}

}  // extern "C"
