// The service control calls: handles with their access rights, the checks of the
// arguments, and the choice between systemd and the supervisor for each operation.
// Records marked for deletion are removed here, whenever one is seen stopped.
#include <strings.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "guarded.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "service_record.h"
#include "service_supervisor.h"
#include "service_systemd.h"

namespace platform {

struct ServiceHandleData {
  uint32_t magic;
  bool manager;
  uint32_t access;
  std::string name;
};

namespace {

constexpr uint32_t kHandleMagic = 0x50534331;  // "PSC1"
constexpr char kLocalSystem[] = "LocalSystem";

using service::Record;


bool Succeeded(uint32_t code) {
  if (code == ERROR_SUCCESS) return true;
  SetLastError(code);
  return false;
}

// The handle's service, checked for kind and for every right in `needed`.
uint32_t Use(SC_HANDLE handle, bool manager, uint32_t needed) {
  if (handle == nullptr || handle->magic != kHandleMagic || handle->manager != manager) {
    return ERROR_INVALID_HANDLE;
  }
  return (handle->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

SC_HANDLE NewHandle(bool manager, uint32_t access, const std::string& name) {
  return new (std::nothrow) ServiceHandleData{kHandleMagic, manager, access, name};
}

bool Blank(const char* text) { return text == nullptr || text[0] == '\0'; }

bool CaseEqual(const char* a, const char* b) { return ::strcasecmp(a, b) == 0; }

bool ValidProgramPath(const char* path) {
  if (path == nullptr || !IsAbsolute(path) || std::strlen(path) >= kMaxPath) return false;
  for (const char* p = path; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F) return false;
  }
  return true;
}

uint32_t State(const std::string& name, const Record& record, ServiceStatus* status) {
  *status = ServiceStatus{};
  status->service_type = record.type;
  return service::SystemdRunsMachine() ? service::SystemdState(name, status)
                                       : service::SupervisedState(name, status);
}

uint32_t Remove(const std::string& name) {
  if (service::SystemdRunsMachine()) {
    const uint32_t code = service::SystemdRemove(name);
    if (code != ERROR_SUCCESS) return code;
  }
  return service::RemoveRecord(name);
}

// Reads the record, completing a pending deletion when the service has stopped (which
// then reports the service as gone). `*status`, when given, receives the state.
uint32_t Look(const std::string& name, Record* record, ServiceStatus* status = nullptr) {
  uint32_t code = service::ReadRecord(name, record);
  if (code != ERROR_SUCCESS || (!record->delete_pending && status == nullptr)) return code;
  ServiceStatus seen{};
  code = State(name, *record, &seen);
  if (code != ERROR_SUCCESS) return code;
  if (status != nullptr) *status = seen;
  if (record->delete_pending && seen.current_state == SERVICE_STOPPED) {
    code = Remove(name);
    return code == ERROR_SUCCESS ? ERROR_SERVICE_DOES_NOT_EXIST : code;
  }
  return ERROR_SUCCESS;
}

uint32_t CheckNewService(const char* name, uint32_t service_type, uint32_t start_type,
                         uint32_t error_control, const char* binary_path_name,
                         const char* load_order_group, const uint32_t* tag_id,
                         const char* dependencies, const char* service_start_name) {
  if (!service::ValidName(name)) return ERROR_INVALID_NAME;
  if (service_type != SERVICE_WIN32_OWN_PROCESS) return ERROR_INVALID_PARAMETER;
  if (start_type < SERVICE_AUTO_START || start_type > SERVICE_DISABLED) return ERROR_INVALID_PARAMETER;
  if (error_control > SERVICE_ERROR_CRITICAL) return ERROR_INVALID_PARAMETER;
  if (!ValidProgramPath(binary_path_name)) return ERROR_INVALID_PARAMETER;
  if (!Blank(load_order_group) || tag_id != nullptr || !Blank(dependencies)) return ERROR_INVALID_PARAMETER;
  if (!Blank(service_start_name) && !CaseEqual(service_start_name, kLocalSystem)) {
    return ERROR_INVALID_SERVICE_ACCOUNT;
  }
  return ERROR_SUCCESS;
}

// Appends `text` to the strings after a ServiceConfig and returns where it went.
char* Place(char** cursor, const std::string& text) {
  char* at = *cursor;
  std::memcpy(at, text.c_str(), text.size() + 1);
  *cursor += text.size() + 1;
  return at;
}

}  // namespace

SC_HANDLE OpenSCManager(uint32_t access) noexcept {
  uint32_t code = Guarded([&] {
    if ((access & SC_MANAGER_CREATE_SERVICE) == 0) return ERROR_SUCCESS;
    // Creating needs the machine hive writable: find out now, as the original does.
    UniqueKey services;
    return RegCreateKeyEx(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", services.out());
  });
  SC_HANDLE handle = code == ERROR_SUCCESS ? NewHandle(true, access, {}) : nullptr;
  if (code == ERROR_SUCCESS && handle == nullptr) code = ERROR_NOT_ENOUGH_MEMORY;
  Succeeded(code);
  return handle;
}

SC_HANDLE OpenService(SC_HANDLE manager, const char* name, uint32_t access) noexcept {
  SC_HANDLE handle = nullptr;
  const uint32_t code = Guarded([&] {
    uint32_t c = Use(manager, true, 0);
    if (c != ERROR_SUCCESS) return c;
    if (!service::ValidName(name)) return ERROR_INVALID_NAME;
    Record record;
    c = Look(name, &record);
    if (c != ERROR_SUCCESS) return c;
    handle = NewHandle(false, access, name);
    return handle != nullptr ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
  });
  Succeeded(code);
  return handle;
}

SC_HANDLE CreateService(SC_HANDLE manager, const char* name, const char* display_name,
                        uint32_t access, uint32_t service_type, uint32_t start_type,
                        uint32_t error_control, const char* binary_path_name,
                        const char* load_order_group, uint32_t* tag_id, const char* dependencies,
                        const char* service_start_name, const char* /*password*/) noexcept {
  SC_HANDLE handle = nullptr;
  const uint32_t code = Guarded([&] {
    uint32_t c = Use(manager, true, SC_MANAGER_CREATE_SERVICE);
    if (c == ERROR_SUCCESS) {
      c = CheckNewService(name, service_type, start_type, error_control, binary_path_name,
                          load_order_group, tag_id, dependencies, service_start_name);
    }
    if (c != ERROR_SUCCESS) return c;
    Record record;
    c = Look(name, &record);
    if (c == ERROR_SUCCESS) return record.delete_pending ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
    if (c != ERROR_SERVICE_DOES_NOT_EXIST) return c;
    record = Record{};
    record.image_path = binary_path_name;
    record.display_name = display_name != nullptr ? display_name : name;
    record.object_name = kLocalSystem;
    record.type = service_type;
    record.start = start_type;
    record.error_control = error_control;
    c = service::CreateRecord(name, record);
    if (c == ERROR_SUCCESS && service::SystemdRunsMachine()) {
      c = service::SystemdInstall(name, record);
      if (c != ERROR_SUCCESS) service::RemoveRecord(name);
    }
    if (c != ERROR_SUCCESS) return c;
    handle = NewHandle(false, access, name);
    return handle != nullptr ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
  });
  Succeeded(code);
  return handle;
}

namespace {

// A service the caller may act on with `access`, looked up and not marked for
// deletion.
uint32_t LookLive(SC_HANDLE service, uint32_t access, Record* record, ServiceStatus* status) {
  uint32_t c = Use(service, false, access);
  if (c != ERROR_SUCCESS) return c;
  c = Look(service->name, record, status);
  if (c != ERROR_SUCCESS) return c;
  return record->delete_pending ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SUCCESS;
}

}  // namespace

bool DeleteService(SC_HANDLE service) noexcept {
  return Succeeded(Guarded([&] {
    Record record;
    ServiceStatus status{};
    uint32_t c = LookLive(service, SERVICE_DELETE, &record, &status);
    if (c != ERROR_SUCCESS) return c;
    if (status.current_state == SERVICE_STOPPED) return Remove(service->name);
    return service::MarkForDelete(service->name);
  }));
}

bool StartService(SC_HANDLE service, uint32_t argc, const char* const* argv) noexcept {
  return Succeeded(Guarded([&] {
    Record record;
    ServiceStatus status{};
    uint32_t c = LookLive(service, SERVICE_START, &record, &status);
    if (c != ERROR_SUCCESS) return c;
    if (record.start == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
    if (status.current_state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
    std::vector<std::string> args;
    for (uint32_t i = 0; i < argc; ++i) {
      if (argv == nullptr || argv[i] == nullptr) return ERROR_INVALID_PARAMETER;
      args.emplace_back(argv[i]);
    }
    if (!ValidProgramPath(record.image_path.c_str())) return ERROR_FILE_NOT_FOUND;
    return service::SystemdRunsMachine() ? service::SystemdStart(service->name, args)
                                         : service::SupervisedStart(service->name, record.image_path, args);
  }));
}

bool ControlService(SC_HANDLE service, uint32_t control, ServiceStatus* status) noexcept {
  return Succeeded(Guarded([&] {
    if (status == nullptr) return ERROR_INVALID_PARAMETER;
    uint32_t needed = 0;
    if (control == SERVICE_CONTROL_STOP) {
      needed = SERVICE_STOP;
    } else if (control == SERVICE_CONTROL_INTERROGATE) {
      needed = SERVICE_INTERROGATE;
    } else {
      return Use(service, false, 0) == ERROR_SUCCESS ? ERROR_INVALID_SERVICE_CONTROL : ERROR_INVALID_HANDLE;
    }
    uint32_t c = Use(service, false, needed);
    if (c != ERROR_SUCCESS) return c;
    Record record;
    c = Look(service->name, &record, status);
    if (c != ERROR_SUCCESS || control == SERVICE_CONTROL_INTERROGATE) return c;
    return service::SystemdRunsMachine() ? service::SystemdStop(service->name, status)
                                         : service::SupervisedStop(service->name, status);
  }));
}

bool QueryServiceStatus(SC_HANDLE service, ServiceStatus* status) noexcept {
  return Succeeded(Guarded([&] {
    if (status == nullptr) return ERROR_INVALID_PARAMETER;
    uint32_t c = Use(service, false, SERVICE_QUERY_STATUS);
    if (c != ERROR_SUCCESS) return c;
    Record record;
    ServiceStatus seen{};
    c = Look(service->name, &record, &seen);
    // A deletion completed just now leaves a stopped service behind, not an error.
    if (c == ERROR_SERVICE_DOES_NOT_EXIST && record.delete_pending) c = ERROR_SUCCESS;
    if (c == ERROR_SUCCESS) *status = seen;
    return c;
  }));
}

bool QueryServiceConfig(SC_HANDLE service, ServiceConfig* config, uint32_t size, uint32_t* needed) noexcept {
  return Succeeded(Guarded([&] {
    if (needed == nullptr || (config == nullptr && size != 0)) return ERROR_INVALID_PARAMETER;
    uint32_t c = Use(service, false, SERVICE_QUERY_CONFIG);
    if (c != ERROR_SUCCESS) return c;
    Record record;
    c = service::ReadRecord(service->name, &record);
    if (c != ERROR_SUCCESS) return c;
    const std::size_t total = sizeof(ServiceConfig) + record.image_path.size() + 1 + 1 + 1 +
                              record.object_name.size() + 1 + record.display_name.size() + 1;
    *needed = static_cast<uint32_t>(total);
    if (size < total) return ERROR_INSUFFICIENT_BUFFER;
    char* cursor = reinterpret_cast<char*>(config) + sizeof(ServiceConfig);
    config->service_type = record.type;
    config->start_type = record.start;
    config->error_control = record.error_control;
    config->tag_id = 0;
    config->binary_path_name = Place(&cursor, record.image_path);
    config->load_order_group = Place(&cursor, "");
    config->dependencies = Place(&cursor, "");
    config->service_start_name = Place(&cursor, record.object_name);
    config->display_name = Place(&cursor, record.display_name);
    return ERROR_SUCCESS;
  }));
}

bool CloseServiceHandle(SC_HANDLE handle) noexcept {
  if (handle == nullptr || handle->magic != kHandleMagic) return Succeeded(ERROR_INVALID_HANDLE);
  handle->magic = 0;
  delete handle;
  return true;
}

}  // namespace platform
