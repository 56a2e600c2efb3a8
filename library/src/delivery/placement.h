// Placing a file into a folder as its next numbered message "msgNNNN.mai": the one
// routine behind MoveOrCopy, DeliverMail and MoveMailFile.
#pragma once

#include <cstdint>
#include <string>

#include "frame/status.h"

namespace pellam::delivery {

struct Placement {
  bool placed = false;  // the file stands under `target`
  bool moved = false;   // moved (true) or copied (false)
  std::string target;   // the full name of the new file once placed
};

// Message numbers taken from a folder's counter in one go for many placements into it,
// so that the counter is opened once rather than once per file. A placement takes the
// next number of the block, and fills an empty block with `wanted` numbers.
struct NumberBlock {
  uint32_t wanted = 1;
  uint32_t next = 0;
  uint32_t left = 0;
};

// Places `source` into `base` + `sub` (both checked by the caller), moving when
// `move` asks for it and the platform allows, copying otherwise; creates the
// directories first when asked. Never replaces an existing file. Returns success or
// the first failure; throws std::bad_alloc only. The folder is flushed after the placement so that the new name
// survives a crash; should that flush fail, its code is returned with `placed` true,
// so that the caller still learns where the file went. With `flush` false the folder
// is left for the caller to flush once after many placements. The numbers come from
// `numbers` when given (a block the caller keeps across placements into one folder),
// else from the counter one at a time.
Status PlaceMessage(const char* source, const char* base, const char* sub, bool move, bool create_directories,
                    Placement* result, bool flush = true, NumberBlock* numbers = nullptr);

}  // namespace pellam::delivery
