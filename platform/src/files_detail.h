// Internals of the file functions that tests reach directly, because the conditions
// that select them (a filesystem without RENAME_NOREPLACE) do not occur on the test
// machine.
#pragma once

namespace platform::detail {

// The move for filesystems that refuse RENAME_NOREPLACE: a file is linked under its
// new name (which fails when that name exists) and then unlinked under the old one;
// a directory, which cannot be linked, is renamed after checking that the target is
// free, a narrow race that only such filesystems leave open. Sets the last-error
// value on failure.
bool MoveByLink(const char* from, const char* to) noexcept;

}  // namespace platform::detail
