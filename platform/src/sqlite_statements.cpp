// The per-connection cache of prepared statements.
#include "sqlite_statements.h"

namespace platform::registry {

sqlite3_stmt* StatementCache::Get(sqlite3* db, const char* sql, int* rc) {
  // A connection uses a dozen texts at most: a short list searched by address beats a map.
  for (const auto& [text, stmt] : prepared_) {
    if (text == sql) {
      *rc = SQLITE_OK;
      return stmt;
    }
  }
  sqlite3_stmt* stmt = nullptr;
  // Kept for the connection's life: SQLite plans it for reuse.
  *rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (*rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  prepared_.emplace_back(sql, stmt);
  return stmt;
}

void StatementCache::Finalize() noexcept {
  for (const auto& entry : prepared_) sqlite3_finalize(entry.second);
  prepared_.clear();
}

}  // namespace platform::registry
