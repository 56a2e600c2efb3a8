// Fault injection for tests: make the Nth call of a chosen platform operation fail
// with a chosen code, so that every failure path above the layer can be exercised.
// Costs two relaxed atomic loads and a counter per guarded call when nothing is armed.
#pragma once

#include <cstdint>
#include <functional>

namespace platform::fault {

enum class Op : unsigned {
  Open,       // CreateFile, OpenWithoutFollowing, CreateMemoryFile, directory search
              // start, SQLite hive open, the sandbox's event-log file
  Read,       // ReadFile
  Write,      // WriteFile, event-log entries (system_log.h)
  Seek,       // SetFilePointer, SetEndOfFile, GetFileSize
  Flush,      // FlushFile, FlushDirectory, FlushFileSystem
  Close,      // CloseFile
  Move,       // MoveFile, MoveFileReplacing
  Copy,       // CopyFile
  Delete,     // DeleteFile, RemoveDirectory
  CreateDir,  // CreateDirectory
  Lock,       // the share-mode lock taken by CreateFile
  TempName,   // GetTempFileName
  RegRead,    // registry queries
  RegWrite,   // registry writes: set, delete, create key
  Account,    // account look-ups
  Walk,       // each step of a walk inside a directory a user controls (safe_open.h)
  Child,      // starting a child process that acts for a user (user_child.h)
  Notify,     // change notifications: start, add a directory, read changes (change_notify.h)
  Wait,       // events and waits: create, set, wait for several objects (events.h)
  Look,       // looks at a name or an open file: LookAtName, LookAtFile, ProgramFileName
  Process,    // the program's own process and the programs it starts: detaching,
              // stop signals (daemon.h), starting a program (start_program.h)
  Count
};

// Arms `op`: its nth call from now (1 = the next) fails with `code`; with `repeat`
// every call from the nth on fails. Arming again replaces the earlier plan for `op`.
void FailNth(Op op, unsigned nth, uint32_t code, bool repeat = false) noexcept;

// Runs `action` at the top of the nth call of `op` from now, before the call does
// anything: a test's way to act between one step and the next (swap a checked file
// for a link, say) without hoping to win a race. Cleared by Clear.
void RunBeforeNth(Op op, unsigned nth, std::function<void()> action);

// Disarms every operation and zeroes the counters. Keeps the thread set below.
void Clear() noexcept;

// Keeps the plan to the calling thread from now on: calls from other threads neither
// count nor fail. A test program whose other threads (the client's monitor, say) reach
// the layer on their own sets this once, so that a fault meant for the thread under
// test is never taken by another. Clear keeps it; EveryThread ends it.
void OnlyThisThread() noexcept;
// Lets calls from every thread count and fail again (the default).
void EveryThread() noexcept;

// How many guarded calls of `op` ran since the last Clear (armed or not), counting only
// the kept thread's when OnlyThisThread is in force.
unsigned Calls(Op op) noexcept;

// Called by the layer at the top of each guarded operation: 0 to go on, or the code
// to fail with (the caller stores it as the last-error value).
uint32_t Check(Op op) noexcept;

// Test helper: clears on construction and destruction.
struct Scope {
  Scope() noexcept { Clear(); }
  ~Scope() { Clear(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

}  // namespace platform::fault
