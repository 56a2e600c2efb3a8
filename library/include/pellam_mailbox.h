// The names of a user's mailbox, fixed by its on-disk layout: the folders' message
// files and the counter that numbers them, and the pattern of the queue's control
// files. Names only, so that the library, the client and the service can share them
// without sharing code; C++ only.
#pragma once

#include <cstdint>

namespace pellam::mailbox {

// The counter file of a folder: the last number handed out, as "%u\r\n".
inline constexpr char kCounterName[] = "#serial.dat";
// Every message file of a folder, numbered or not.
inline constexpr char kMessageFiles[] = "*.mai";
// The numbered message files, from which a lost counter is rebuilt.
inline constexpr char kNumberedMessages[] = "msg????.mai";
// The name of message number n (1 to kHighestNumber), for snprintf with a uint32_t.
inline constexpr char kMessageNameFormat[] = "msg%04u.mai";
inline constexpr uint32_t kHighestNumber = 9999;
// The folder below the mail directory into which mail is delivered.
inline constexpr char kNewFolder[] = "new/";

// The control files waiting in the queue directory (PELLAM_QUEUE_FILE_SUFFIX).
inline constexpr char kQueueFiles[] = "*.mai";

}  // namespace pellam::mailbox
