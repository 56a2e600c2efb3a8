// Reading a passwd-format user database ("name:password:uid:gid:gecos:home:shell"
// per line), the user database of a sandbox. Malformed lines are skipped, never
// trusted: a line counts only with exactly seven fields, a name and numeric ids.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/accounts.h"

namespace platform::passwd_file {

// One line as an account (home as written); false for a malformed line.
bool ParseLine(std::string_view line, Account* account);

// The first account of the file at `path` for which `match` holds. 0, or
// ERROR_NONE_MAPPED when no line matches, or the translated errno of a read failure.
uint32_t Find(const std::string& path, const std::function<bool(const Account&)>& match,
              Account* account);

}  // namespace platform::passwd_file
