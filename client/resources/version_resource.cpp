// The version data of pelldesk, in U.S. English with the Unicode code page (040904b0).
#include "resources/version_resource.h"

#include <strings.h>

namespace pelldesk {
namespace {

struct VersionValue {
  const char* path;
  const char* value;
};

constexpr VersionValue kVersionResource[] = {
    {"\\StringFileInfo\\040904b0\\CompanyName", "Corwent"},
    {"\\StringFileInfo\\040904b0\\FileDescription", "Pellam User Interface"},
    {"\\StringFileInfo\\040904b0\\FileVersion", "X0.99"},
    {"\\StringFileInfo\\040904b0\\InternalName", "pelldesk"},
    {"\\StringFileInfo\\040904b0\\OriginalFilename", "pelldesk"},
    {"\\StringFileInfo\\040904b0\\ProductName", "Pellam"},
    {"\\StringFileInfo\\040904b0\\ProductVersion", "X0.99"},
};

}  // namespace

const char* QueryVersionValue(const char* path) {
  if (path == nullptr) return nullptr;
  for (const VersionValue& entry : kVersionResource) {
    // Block and value names are compared without regard to case, as the platform does.
    if (strcasecmp(entry.path, path) == 0) return entry.value;
  }
  return nullptr;
}

}  // namespace pelldesk
