// SQLite result codes as the registry's status codes: a locked hive is a time-out,
// a damaged or foreign file a bad database, a refused write access denied.
#pragma once

#include <sqlite3.h>

#include <cstdint>

namespace platform::registry {

// `db` (may be null) supplies the errno behind an I/O or open failure.
uint32_t FromSqlite(sqlite3* db, int rc) noexcept;

}  // namespace platform::registry
