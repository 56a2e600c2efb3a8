// The placement loop: take a number, try the target, skip numbers whose file exists.
// The move or copy never replaces an existing file, so a number that a concurrent
// caller took, or a file left from before the numbers wrapped, is skipped rather than
// overwritten. A move the platform refuses (another filesystem, say) becomes a copy.
#include "delivery/placement.h"

#include <cstdio>
#include <utility>

#include "delivery/serial_counter.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace pellam::delivery {
namespace {

bool IsExistingTarget(uint32_t code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }

// Creates one directory; one that is there already is fine.
Status MakeDirectory(const std::string& path) {
  if (platform::CreateDirectory(path.c_str())) return Status();
  const Status failed = LastError();
  return failed.code() == ERROR_ALREADY_EXISTS ? Status() : failed;
}

// The base directory itself (its parent must exist), then each level of the
// sub-directory in turn.
Status MakeDirectories(const std::string& base, const std::string& sub) {
  if (Status s = MakeDirectory(base.substr(0, base.size() - 1)); !s.ok()) return s;
  for (size_t slash = sub.find('/'); slash != std::string::npos; slash = sub.find('/', slash + 1)) {
    if (slash == 0 || sub[slash - 1] == '/') continue;  // an empty level: nothing to create
    if (Status s = MakeDirectory(base + sub.substr(0, slash)); !s.ok()) return s;
  }
  return Status();
}

// The block's next number, refilling it from the folder's counter when it is empty.
uint32_t TakeFromBlock(const std::string& folder, NumberBlock* block, uint32_t* number) {
  if (block->left == 0) {
    if (const uint32_t code = TakeMessageNumbers(folder.c_str(), block->wanted, &block->next, &block->left)) {
      return code;
    }
  }
  *number = block->next++;
  --block->left;
  return 0;
}

Status Placed(const std::string& folder, bool moved, bool flush, Placement* result) {
  result->placed = true;
  result->moved = moved;
  if (!flush) return Status();
  return platform::FlushDirectory(folder.c_str()) ? Status() : LastError();
}

}  // namespace

Status PlaceMessage(const char* source, const char* base, const char* sub, bool move, bool create_directories,
                    Placement* result, bool flush, NumberBlock* numbers) {
  *result = Placement{};
  const std::string folder = std::string(base) + sub;
  // Checked before any directory is made, so that a folder whose counter and message
  // names could not be formed is never created.
  if (folder.size() + sizeof kCounterName - 1 >= platform::kMaxPath) return Status(ERROR_BUFFER_OVERFLOW);
  if (create_directories) {
    if (Status s = MakeDirectories(base, sub); !s.ok()) return s;
  }
  NumberBlock one_at_a_time;
  NumberBlock* block = numbers != nullptr ? numbers : &one_at_a_time;
  Status last;
  for (uint32_t attempt = 0; attempt < kHighestNumber; ++attempt) {
    uint32_t number = 0;
    if (const uint32_t code = TakeFromBlock(folder, block, &number)) return Status(code);
    char name[16];
    std::snprintf(name, sizeof name, mailbox::kMessageNameFormat, number);
    std::string target = folder + name;
    if (target.size() >= platform::kMaxPath) return Status(ERROR_BUFFER_OVERFLOW);
    // Once the file stands in the folder nothing may throw before the caller learns
    // where: the name is moved, not copied, into the result.
    if (move) {
      if (platform::MoveFile(source, target.c_str())) {
        result->target = std::move(target);
        return Placed(folder, true, flush, result);
      }
      last = LastError();
      if (IsExistingTarget(last.code())) continue;
      move = false;  // refused for another reason: copy this time and every later time
    }
    if (platform::CopyFile(source, target.c_str(), true)) {
      result->target = std::move(target);
      return Placed(folder, false, flush, result);
    }
    last = LastError();
    if (!IsExistingTarget(last.code())) return last;
  }
  return last;  // every attempt met an existing file
}

}  // namespace pellam::delivery
