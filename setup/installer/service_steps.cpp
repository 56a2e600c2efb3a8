// The service steps. The waits have no limit of their own: the service control layer
// ends a pending state after its bounded wait, so they always end.
#include "service_steps.h"

#include "messages.h"
#include "pellam.h"

namespace setup {

using namespace platform;

void RemoveEarlierService(InstallerSteps& steps, SC_HANDLE scm) {
  ServiceHandle service(scm != nullptr ? OpenService(scm, PELLAM_SERVICE_NAME, SERVICE_ALL_ACCESS) : nullptr);
  if (!service) return;
  ServiceStatus status{};
  bool known = QueryServiceStatus(service.get(), &status);
  if (known && status.current_state != SERVICE_STOPPED) {
    steps.Dialog(5100, DialogProc::kModeless);
    {
      Toolkit::WaitCursor wait(steps.toolkit());
      ServiceStatus stopping{};
      if (ControlService(service.get(), SERVICE_CONTROL_STOP, &stopping)) {
        status = stopping;
        while (known && status.current_state == SERVICE_STOP_PENDING) {
          steps.Pause();
          known = QueryServiceStatus(service.get(), &status);
        }
      }
    }
    steps.CloseNotes();
  }
  const bool deleted = DeleteService(service.get());
  service.Close();
  if (!known || status.current_state != SERVICE_STOPPED) {
    steps.Warn(text::kFailedToStop);
  } else if (!deleted) {
    steps.Warn(text::kFailedToDelete);
  }
}

void RegisterService(InstallerSteps& steps, SC_HANDLE scm, const std::string& program_dir) {
  const std::string program = program_dir + PELLAM_SERVICE_PROGRAM;
  if (program.size() > 259) steps.Fatal(text::kBufferOverflow, text::kErrorCaption);
  ServiceHandle service(CreateService(scm, PELLAM_SERVICE_NAME, PELLAM_SERVICE_DISPLAY_NAME, SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                      program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) steps.Fatal(text::kFailedToInstall, text::kErrorCaption);
}

void StartTheService(InstallerSteps& steps, SC_HANDLE scm) {
  ServiceStatus status{};
  bool known = false;
  ServiceHandle service(scm != nullptr ? OpenService(scm, PELLAM_SERVICE_NAME, SERVICE_ALL_ACCESS) : nullptr);
  if (service) {
    steps.Dialog(5200, DialogProc::kModeless);
    {
      Toolkit::WaitCursor wait(steps.toolkit());
      if (StartService(service.get(), 0, nullptr)) {
        known = QueryServiceStatus(service.get(), &status);
        while (known && status.current_state == SERVICE_START_PENDING) {
          steps.Pause();
          known = QueryServiceStatus(service.get(), &status);
        }
      }
    }
    service.Close();
    steps.CloseNotes();
  }
  if (!known || status.current_state != SERVICE_RUNNING) steps.Fatal(text::kFailedToStart, text::kErrorCaption);
}

}  // namespace setup
