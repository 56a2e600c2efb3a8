// The service control layer, in place of the original platform's service control
// manager. Service records live where that platform keeps them, in the registry store
// under HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\<name> (ImagePath,
// DisplayName, Start, Type, ErrorControl, ObjectName). Where systemd runs the machine
// and no sandbox is set, start and stop go through a unit that this layer writes;
// elsewhere a small supervisor of the layer runs the service detached and tracks it by
// a pid file in InRoot("/run/pellam/"). Calls succeed or fail with the status code as
// the last-error value, as files.h does.
//
// A service program is started as `<ImagePath> --foreground [arguments]`, with the
// caller's environment, "/" as its directory and /dev/null as its standard files; it
// stays in the foreground and ends when it receives SIGTERM. It is reported as start
// pending for a short settling time after its start, then as running while it lives;
// after a stop request it is stop pending until it ends, or, when it has not ended
// within the stop wait, running again (it refused to stop; it is never killed).
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

struct ServiceHandleData;
using SC_HANDLE = ServiceHandleData*;

// Access rights of the manager.
inline constexpr uint32_t SC_MANAGER_CONNECT = 0x0001;
inline constexpr uint32_t SC_MANAGER_CREATE_SERVICE = 0x0002;
inline constexpr uint32_t SC_MANAGER_ALL_ACCESS = 0xF003F;

// Access rights of a service.
inline constexpr uint32_t SERVICE_QUERY_CONFIG = 0x0001;
inline constexpr uint32_t SERVICE_QUERY_STATUS = 0x0004;
inline constexpr uint32_t SERVICE_START = 0x0010;
inline constexpr uint32_t SERVICE_STOP = 0x0020;
inline constexpr uint32_t SERVICE_INTERROGATE = 0x0080;
inline constexpr uint32_t SERVICE_DELETE = 0x10000;  // the original platform's DELETE
inline constexpr uint32_t SERVICE_ALL_ACCESS = 0xF01FF;

// The one service type: a program of its own.
inline constexpr uint32_t SERVICE_WIN32_OWN_PROCESS = 0x10;

// Start types. Automatic start at boot is systemd's (the unit is enabled); the
// supervisor starts a service only when asked.
inline constexpr uint32_t SERVICE_AUTO_START = 2;
inline constexpr uint32_t SERVICE_DEMAND_START = 3;
inline constexpr uint32_t SERVICE_DISABLED = 4;

// Error control, recorded as given.
inline constexpr uint32_t SERVICE_ERROR_IGNORE = 0;
inline constexpr uint32_t SERVICE_ERROR_NORMAL = 1;
inline constexpr uint32_t SERVICE_ERROR_SEVERE = 2;
inline constexpr uint32_t SERVICE_ERROR_CRITICAL = 3;

// States.
inline constexpr uint32_t SERVICE_STOPPED = 1;
inline constexpr uint32_t SERVICE_START_PENDING = 2;
inline constexpr uint32_t SERVICE_STOP_PENDING = 3;
inline constexpr uint32_t SERVICE_RUNNING = 4;

// Controls, and what a service accepts.
inline constexpr uint32_t SERVICE_CONTROL_STOP = 1;
inline constexpr uint32_t SERVICE_CONTROL_INTERROGATE = 4;
inline constexpr uint32_t SERVICE_ACCEPT_STOP = 1;

struct ServiceStatus {
  uint32_t service_type;
  uint32_t current_state;
  uint32_t controls_accepted;
  uint32_t win32_exit_code;
  uint32_t service_specific_exit_code;
  uint32_t check_point;
  uint32_t wait_hint;  // milliseconds until the pending state should end
};

// A service's configuration, filled into a caller's buffer: this record, followed by
// the strings its pointers point at (dependencies as a list ended by an empty string).
struct ServiceConfig {
  uint32_t service_type;
  uint32_t start_type;
  uint32_t error_control;
  char* binary_path_name;
  char* load_order_group;
  uint32_t tag_id;
  char* dependencies;
  char* service_start_name;
  char* display_name;
};

// The manager of this machine. SC_MANAGER_CREATE_SERVICE needs the right to write the
// machine hive (ERROR_ACCESS_DENIED otherwise).
PLATFORM_API SC_HANDLE OpenSCManager(uint32_t access) noexcept;

// An existing service (ERROR_SERVICE_DOES_NOT_EXIST). Names are compared without
// regard to case; a valid name is 1 to 80 letters, digits, "_", "-" and "." not
// beginning with "." (ERROR_INVALID_NAME otherwise).
PLATFORM_API SC_HANDLE OpenService(SC_HANDLE manager, const char* name, uint32_t access) noexcept;

// Records a new service and returns it opened with `access`. `display_name` null
// gives the name. The binary path must be absolute and shorter than kMaxPath. No load
// order group, tag or dependencies (null or empty; ERROR_INVALID_PARAMETER otherwise);
// the account is null or "LocalSystem" (ERROR_INVALID_SERVICE_ACCOUNT otherwise), whose
// password is ignored. ERROR_SERVICE_EXISTS when the name is taken,
// ERROR_SERVICE_MARKED_FOR_DELETE while a deleted service of that name still runs.
// A failure leaves no record behind.
PLATFORM_API SC_HANDLE CreateService(SC_HANDLE manager, const char* name, const char* display_name,
                        uint32_t access, uint32_t service_type, uint32_t start_type,
                        uint32_t error_control, const char* binary_path_name,
                        const char* load_order_group, uint32_t* tag_id, const char* dependencies,
                        const char* service_start_name, const char* password) noexcept;

// Deletes the record of a stopped service at once; a service that still runs is marked
// for deletion, and its record goes when it is next looked at stopped.
PLATFORM_API bool DeleteService(SC_HANDLE service) noexcept;

// Starts a stopped service; the arguments follow "--foreground". The start is accepted
// once the program has been executed: a program that ends at once is then reported
// stopped. ERROR_SERVICE_ALREADY_RUNNING, ERROR_SERVICE_DISABLED,
// ERROR_SERVICE_MARKED_FOR_DELETE, or the code of a failed execution (a missing
// program gives ERROR_FILE_NOT_FOUND).
PLATFORM_API bool StartService(SC_HANDLE service, uint32_t argc, const char* const* argv) noexcept;

// SERVICE_CONTROL_STOP sends SIGTERM and reports stop pending (ERROR_SERVICE_NOT_ACTIVE
// for a stopped service, ERROR_SERVICE_CANNOT_ACCEPT_CTRL while a stop is pending);
// SERVICE_CONTROL_INTERROGATE reports the status; anything else is
// ERROR_INVALID_SERVICE_CONTROL. `status` receives the status whenever it is known.
PLATFORM_API bool ControlService(SC_HANDLE service, uint32_t control, ServiceStatus* status) noexcept;

PLATFORM_API bool QueryServiceStatus(SC_HANDLE service, ServiceStatus* status) noexcept;

// Fills `config` (a buffer of `size` bytes, suitably aligned) as described above.
// ERROR_INSUFFICIENT_BUFFER when it does not fit; `*needed` receives the size needed.
PLATFORM_API bool QueryServiceConfig(SC_HANDLE service, ServiceConfig* config, uint32_t size,
                        uint32_t* needed) noexcept;

PLATFORM_API bool CloseServiceHandle(SC_HANDLE handle) noexcept;

// For tests: the settling time after a start (1000 ms unless set) and the stop wait
// (10000 ms unless set) of the supervisor.
PLATFORM_API void SetServiceTimeouts(unsigned start_settle_ms, unsigned stop_wait_ms) noexcept;

}  // namespace platform
