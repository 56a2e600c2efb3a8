// Prepared statements kept per connection: each SQL text is prepared once, the first
// time it is used, and reused after that. A Statement borrows the prepared one for one
// use and resets it when it goes, so that no read transaction outlives the call that
// began it (a reader holding one would never see other processes' writes).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::registry {

// The prepared statements of one connection, by SQL text. Not thread-safe: it is used
// under its connection's lock. Finalizes them all when destroyed, unless abandoned.
class StatementCache {
 public:
  StatementCache() noexcept = default;
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;
  ~StatementCache() { Finalize(); }

  // The statement for `sql` (a string literal: it is kept by address), prepared on
  // `db` when first asked for; SQLITE_OK or the prepare's error in `*rc`.
  sqlite3_stmt* Get(sqlite3* db, const char* sql, int* rc);

  void Finalize() noexcept;
  // Forgets the statements without finalizing them: they belong to a connection that
  // another process opened (see registry_store.h).
  void Abandon() noexcept { prepared_.clear(); }

 private:
  std::vector<std::pair<const char*, sqlite3_stmt*>> prepared_;
};

// One use of a cached statement: binds, steps, reads columns, and resets the statement
// and its bindings on scope exit. A failed prepare shows in Step().
class Statement {
 public:
  Statement(sqlite3* db, StatementCache* cache, const char* sql) { stmt_ = cache->Get(db, sql, &rc_); }
  ~Statement() {
    if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& BindText(int index, std::string_view text) {
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  Statement& BindBlob(int index, std::string_view bytes) {
    // A null pointer would bind SQL NULL; an empty value is a zero-length blob.
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_STATIC);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE, or the error of the prepare, a bind or the step.
  int Step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }

  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  uint32_t Count(int column) const {
    int64_t n = Int(column);
    return n < 0 ? 0 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
  }
  std::string Bytes(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr || size <= 0) return {};
    return std::string(static_cast<const char*>(data), static_cast<size_t>(size));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

}  // namespace platform::registry
