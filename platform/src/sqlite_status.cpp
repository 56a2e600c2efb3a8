// The one translation of SQLite results into status codes.
#include "sqlite_status.h"

#include <cerrno>

#include "platform/errors.h"
#include "sqlite_files.h"

namespace platform::registry {

uint32_t FromSqlite(sqlite3* db, int rc) noexcept {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_TIMEOUT;  // the busy timeout ran out
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    case SQLITE_TOOBIG:
      return ERROR_INVALID_PARAMETER;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR: {
      if (TakeRefusal()) return ERROR_ACCESS_DENIED;  // a link, a FIFO, a swapped file
      int err = db != nullptr ? sqlite3_system_errno(db) : 0;
      if (err == ENOENT || err == ENOTDIR) return ERROR_FILE_NOT_FOUND;
      if (err != 0) return FromErrno(err);
      return (rc & 0xff) == SQLITE_CANTOPEN ? ERROR_CANTOPEN : ERROR_IO_DEVICE;
    }
    // A file that is not a database, a damaged one, or a database without the
    // hive's tables: the statements fail to find or read what they expect.
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
    case SQLITE_FORMAT:
    case SQLITE_MISMATCH:
    case SQLITE_CONSTRAINT:
    case SQLITE_EMPTY:
      return ERROR_BADDB;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace platform::registry
