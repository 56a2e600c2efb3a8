// The message number counter of a folder: "#serial.dat", the last number handed out
// as "%d\r\n". Taking a number holds the file open with no sharing, which serialises
// numbering between every process that files into the folder; nothing else is locked.
#pragma once

#include <cstdint>

#include "pellam_mailbox.h"

namespace pellam::delivery {

using mailbox::kCounterName;
using mailbox::kHighestNumber;
using mailbox::kNumberedMessages;

// Takes the next number of `folder` (a path ending in "/") into `*number`: 0, or
// ERROR_BUFFER_OVERFLOW for a path too long, ERROR_SHARING_VIOLATION when others hold
// the counter past the wait limit, or the platform's code of the failed open, read,
// write or folder search. A counter that is missing, empty, unreadable as a number or
// negative is rebuilt from the highest "msg????.mai" name in the folder.
uint32_t TakeMessageNumber(const char* folder, uint32_t* number) noexcept;

// Takes up to `wanted` consecutive numbers of `folder` in one go: the first into
// `*first` and how many into `*taken` (fewer than wanted only where the numbers wrap
// after kHighestNumber). The same codes and rebuild as TakeMessageNumber. Numbers taken
// and then not used are merely skipped: placement never relies on them being filled.
uint32_t TakeMessageNumbers(const char* folder, uint32_t wanted, uint32_t* first, uint32_t* taken) noexcept;

// How long a taker waits for a counter held by others: it polls every `interval_ms`
// and gives up after `limit_ms` of waiting in all (250 and 20000 unless set). For
// tests, which need not wait 20 s to see the limit.
void SetCounterWait(uint32_t interval_ms, uint32_t limit_ms) noexcept;

}  // namespace pellam::delivery
