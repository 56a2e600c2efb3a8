// The network loop: work posted from other threads runs on the loop thread in order,
// timers fire at the deadline the stack reports, fds can be unwatched from their own
// handler, and Stop ends Run from any thread.
#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "core/event_loop.h"

namespace decnet {
namespace {

TEST(EventLoopTest, PostedWorkRunsOnTheLoopThreadInOrder) {
  EventLoop loop;
  ASSERT_TRUE(loop.ok()) << loop.error();
  std::vector<int> order;
  std::atomic<bool> all_in_loop{true};
  std::thread loop_thread([&] { loop.Run(); });
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        loop.Post([&, t, i] {
          if (!loop.InLoopThread()) all_in_loop = false;
          if (t == 0) order.push_back(i);
        });
      }
    });
  }
  for (auto& p : posters) p.join();
  std::atomic<bool> done{false};
  loop.Post([&] { done = true; });
  while (!done) std::this_thread::yield();
  loop.Stop();
  loop_thread.join();
  EXPECT_TRUE(all_in_loop);
  ASSERT_EQ(order.size(), 250u);
  for (int i = 0; i < 250; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_FALSE(loop.InLoopThread());
}

TEST(EventLoopTest, TicksWhenTheReportedDeadlineComesAndAsksAgainAfterwards) {
  EventLoop loop;
  TimePoint start = Clock::now();
  std::vector<TimePoint> deadlines = {start + milliseconds(30), start + milliseconds(60)};
  std::vector<TimePoint> ticks;
  loop.SetTimers(
      [&]() -> std::optional<TimePoint> {
        if (ticks.size() < deadlines.size()) return deadlines[ticks.size()];
        return std::nullopt;
      },
      [&](TimePoint now) { ticks.push_back(now); });
  // Each round may wait a whole second: only the timer can wake it sooner.
  while (Clock::now() < start + seconds(3) && ticks.size() < 2) loop.RunOnce(milliseconds(1000));
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_GE(ticks[0], deadlines[0]);
  EXPECT_GE(ticks[1], deadlines[1]);
  EXPECT_LT(ticks[1], deadlines[1] + milliseconds(400)) << "no poll-every-so-often delay";
}

TEST(EventLoopTest, WatchedFdsCallTheirHandlerAndMayUnwatchThemselves) {
  EventLoop loop;
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  int calls = 0;
  ASSERT_TRUE(loop.Watch(pipe_fds[0], EPOLLIN, [&](uint32_t events) {
    ++calls;
    EXPECT_TRUE(events & EPOLLIN);
    loop.Unwatch(pipe_fds[0]);
  }));
  ASSERT_EQ(::write(pipe_fds[1], "x", 1), 1);
  loop.RunOnce(milliseconds(100));
  loop.RunOnce(milliseconds(20));  // still readable, but no longer watched
  EXPECT_EQ(calls, 1);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

TEST(EventLoopTest, StopEndsRunAndLaterPostsAreDropped) {
  EventLoop loop;
  std::thread loop_thread([&] { loop.Run(); });
  loop.Stop();
  loop_thread.join();
  bool ran = false;
  loop.Post([&] { ran = true; });
  loop.RunOnce(milliseconds(1));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace decnet
