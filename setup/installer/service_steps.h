// The installer's steps with the Pellam service: removing an earlier one, registering
// the new one and starting it, over the service control layer. They show their notes
// and messages, and leave through the installer's failure exit, by InstallerSteps.
#pragma once

#include <string>

#include "platform/services.h"
#include "toolkit.h"

namespace setup {

// What the service steps use of the installation they run in.
class InstallerSteps {
 public:
  virtual ~InstallerSteps() = default;
  virtual void Dialog(int id, DialogProc proc, int help = 0) = 0;
  virtual void CloseNotes() = 0;
  virtual void Warn(const char* message) = 0;
  [[noreturn]] virtual void Fatal(const char* message, const char* caption) = 0;
  [[noreturn]] virtual void FailureExit() = 0;
  virtual void Pause() = 0;  // between status queries
  virtual Toolkit& toolkit() = 0;
};

// Owns a service handle.
class ServiceHandle {
 public:
  explicit ServiceHandle(platform::SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() { Close(); }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  platform::SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Close() {
    if (handle_ != nullptr) platform::CloseServiceHandle(handle_);
    handle_ = nullptr;
  }

 private:
  platform::SC_HANDLE handle_;
};

// Stops (waiting while it is stop pending) and deletes the service "Pellam" if there
// is one; a failure to stop or to delete only warns.
void RemoveEarlierService(InstallerSteps& steps, platform::SC_HANDLE scm);

// Records the service for `program_dir` + "pellam", started automatically.
void RegisterService(InstallerSteps& steps, platform::SC_HANDLE scm, const std::string& program_dir);

// Starts the service and waits while it is start pending; anything but running at the
// end is fatal.
void StartTheService(InstallerSteps& steps, platform::SC_HANDLE scm);

}  // namespace setup
