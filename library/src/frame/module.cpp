// Load-time state and RegisterEventMessages.
#include "frame/module.h"

#include <dlfcn.h>
#include <link.h>

#include <string>

#include "frame/export_barrier.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/program_file.h"
#include "platform/registry.h"

namespace pellam {
namespace {

const void* g_module_address = nullptr;

__attribute__((constructor)) void RecordModule() {
  g_module_address = reinterpret_cast<const void*>(&RecordModule);
}

// The file name of a dlopen handle's module.
std::string HandleFileName(void* handle, uint32_t* code) {
  struct link_map* map = nullptr;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    *code = ERROR_INVALID_HANDLE;
    return {};
  }
  if (map->l_name != nullptr && map->l_name[0] != '\0') return map->l_name;
  // The main program's entry has no name.
  std::string program;
  *code = platform::ProgramFileName(&program);
  return program;
}

}  // namespace

std::string ModuleFileName(uint32_t* code) {
  *code = 0;
  Dl_info info{};
  if (::dladdr(g_module_address, &info) == 0 || info.dli_fname == nullptr) {
    *code = ERROR_INVALID_HANDLE;
    return {};
  }
  // A library linked into a program reports the program under its own name.
  std::string name = info.dli_fname;
  if (name.empty() || name.front() != '/') {
    void* self = ::dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (self != nullptr) {
      name = HandleFileName(self, code);
      ::dlclose(self);
    }
  }
  return name;
}

}  // namespace pellam

static uint32_t RegisterCatalogue(void* module) {
  uint32_t code = 0;
  std::string file = module == nullptr ? pellam::ModuleFileName(&code)
                                       : pellam::HandleFileName(module, &code);
  if (code != 0) return code;
  if (file.size() >= platform::kMaxPath) return ERROR_INSUFFICIENT_BUFFER;

  platform::UniqueKey key;
  code = platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE,
                                  "System\\CurrentControlSet\\Services\\EventLog\\Application\\Pellam",
                                  key.out());
  if (code != 0) return code;
  code = platform::RegSetValueEx(key.get(), "EventMessageFile", platform::REG_SZ,
                                 reinterpret_cast<const uint8_t*>(file.c_str()),
                                 static_cast<uint32_t>(file.size() + 1));
  if (code == 0) {
    const uint32_t types = 7;  // error, warning and information events
    code = platform::RegSetValueEx(key.get(), "TypesSupported", platform::REG_DWORD,
                                   reinterpret_cast<const uint8_t*>(&types), sizeof types);
  }
  return code;
}

extern "C" PELLAM_API uint32_t RegisterEventMessages(void* module) {
  return pellam::Barrier([&] { return RegisterCatalogue(module); });
}
