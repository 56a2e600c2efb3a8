// Ending a local connection under a thread that waits on it: the thread wakes at once
// with the end of the stream, and a failure by injection leaves the connection as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"
#include "platform/local_socket.h"
#include "sandbox.h"

namespace {

using namespace platform;

// A listener, a client and the server's end of their connection.
struct Connection {
  pellam::test::Sandbox box;
  UniqueFile listener{ListenLocalSocket(box.Path("run").c_str(), "socket", 0600)};
  UniqueFile client{ConnectLocalSocket(box.Path("run/socket").c_str())};
  UniqueFile server{AcceptLocalClient(listener.get(), -1, 5000)};
};

TEST(EndConnection, WakesAThreadWaitingToReceive) {
  Connection c;
  ASSERT_TRUE(c.listener && c.client && c.server);
  auto waiting = std::async(std::launch::async, [&] {
    char buffer[8];
    size_t done = 99;
    const bool ok = ReceiveWithin(c.server.get(), buffer, sizeof buffer, &done, 20000);
    return ok && done == 0;  // the end of the stream, not a timeout
  });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout) << "it waits";
  ASSERT_TRUE(EndConnection(c.server.get()));
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "it woke";
  EXPECT_TRUE(waiting.get());
  EXPECT_FALSE(SendWithin(c.server.get(), "x", 1, 1000));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
}

TEST(EndConnection, FailsByInjectionAndForWhatIsNoSocket) {
  Connection c;
  ASSERT_TRUE(c.server);
  {
    fault::Scope scope;
    fault::FailNth(fault::Op::Close, 1, ERROR_IO_DEVICE);
    EXPECT_FALSE(EndConnection(c.server.get()));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  }
  EXPECT_TRUE(SendWithin(c.server.get(), "x", 1, 1000)) << "the connection is as it was";
  EXPECT_FALSE(EndConnection(-1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
