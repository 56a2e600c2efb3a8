// Local (Unix-domain) stream sockets for a service's control channel: a listener
// made safely in a directory the service owns, a client's connect, and sends and
// receives that wait a bounded time, so that a peer which stops reading or writing
// never holds its partner up. Failures leave a status code as the last-error value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/export.h"

namespace platform {

// Nobody listens on the socket (a file left by a process that has ended).
inline constexpr uint32_t ERROR_CONNECTION_REFUSED = 1225;

// Listens on `name` inside `directory`, which is created (mode 0755, its parent too)
// when missing. The directory must be a real directory (not a link) owned by the
// caller and writable by nobody else (ERROR_ACCESS_DENIED otherwise): a privileged
// caller never creates its socket where another user could have put something. A
// socket or link left at `name` is replaced; another kind of file there gives
// ERROR_FILE_EXISTS, a socket someone still listens on ERROR_ALREADY_EXISTS. The
// socket gets `mode`. Returns the listening descriptor, or kInvalidFile.
PLATFORM_API int ListenLocalSocket(const char* directory, const char* name, unsigned mode) noexcept;

// Removes the socket at `path`, and nothing that is not a socket (ERROR_ACCESS_DENIED).
PLATFORM_API bool RemoveLocalSocket(const char* path) noexcept;

// Waits up to `timeout_ms` for a client, or for `stop_fd` to become readable. Returns
// the client's descriptor, or kInvalidFile with ERROR_TIMEOUT (nobody came),
// ERROR_OPERATION_ABORTED (stop) or the failure's code.
PLATFORM_API int AcceptLocalClient(int listener, int stop_fd, int timeout_ms) noexcept;

// Connects to the socket at `path` (of any length). ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when nothing is there, ERROR_CONNECTION_REFUSED when nobody
// listens, ERROR_ACCESS_DENIED without the right to connect.
PLATFORM_API int ConnectLocalSocket(const char* path) noexcept;

// Sends all of `data`, waiting at most `timeout_ms` in all: ERROR_TIMEOUT when the
// peer does not read, ERROR_BROKEN_PIPE when it has gone.
PLATFORM_API bool SendWithin(int socket, const void* data, size_t size, int timeout_ms) noexcept;

// Ends both directions of a connection but keeps its descriptor, so that a thread
// waiting to send or receive on it wakes at once and finds the connection ended
// (ERROR_BROKEN_PIPE, or the end of the stream). The descriptor is still closed as usual.
PLATFORM_API bool EndConnection(int socket) noexcept;

// Receives what is there, up to `size` bytes, waiting at most `timeout_ms` for the
// first byte: `*done` is 0 at the end of the stream; ERROR_TIMEOUT when nothing came.
PLATFORM_API bool ReceiveWithin(int socket, void* buffer, size_t size, size_t* done, int timeout_ms) noexcept;

}  // namespace platform
