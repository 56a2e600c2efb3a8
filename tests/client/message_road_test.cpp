// The road of one message and its reply through the whole system: ann composes in a
// message window and posts with F12; the Pellam service program delivers to bob's
// "new" folder, where bob's new-mail monitor counts it; bob opens it, replies to a
// quoted line and posts; the reply arrives back in ann's "new" folder. Each user runs
// the client with their own identity (the test acts as bob through its effective ids,
// which needs root).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>

#include <chrono>
#include <thread>

#include "message_test_support.h"
#include "needs_root.h"

namespace pelldesk::test {
namespace {

using pellam::test::ReadTextFile;
namespace fs = std::filesystem;

constexpr uid_t kBob = 1001;

// Acts as another user (effective ids) while it lives.
class ActingAs {
 public:
  explicit ActingAs(uid_t uid) {
    ok_ = ::setegid(uid) == 0 && ::seteuid(uid) == 0;
  }
  ~ActingAs() {
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();  // the rest of the run would be someone else's
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

#ifdef PELLAM_SERVICE_BINARY
// The service program in the foreground, its output in `log`.
pid_t StartService(const std::string& log) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execl(PELLAM_SERVICE_BINARY, PELLAM_SERVICE_BINARY, "--foreground", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}
#endif

// One user's client: started, then used, then ended before the next one starts.
class Client {
 public:
  Client() { started_ = app_.InitInstance(); }
  ~Client() { app_.End(); }
  bool started() const { return started_; }
  TestApp& app() { return app_; }
  std::string Pane(int id) {
    app_.mainFrameWindow()->UpdateCommandUi();
    return app_.mainFrameWindow()->PaneText(id);
  }
  CMsgDoc* Newest() {
    auto docs = app_.messageTemplate()->documents();
    return docs.empty() ? nullptr : dynamic_cast<CMsgDoc*>(docs.back());
  }
  CMsgDoc* Open(const std::string& path) {
    return app_.OpenMessageWindow(path.c_str()) ? dynamic_cast<CMsgDoc*>(app_.FindOpenDocument(path)) : nullptr;
  }
  // F12: the main frame's Post action.
  bool PressPost() {
    QAction* post = app_.mainFrameWindow()->Action(kCmdPost);
    if (post == nullptr || !post->shortcuts().contains(QKeySequence("F12"))) return false;
    app_.mainFrameWindow()->UpdateCommandUi();
    post->trigger();
    return true;
  }

 private:
  TestApp app_;
  bool started_;
};

std::vector<std::string> Messages(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (e.path().extension() == ".mai") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MessageRoad, AMessageAndItsReplyTravelTheWholeRoad) {
#ifndef PELLAM_SERVICE_BINARY
  GTEST_SKIP() << "the service program is not built";
#else
  PELLAM_NEEDS_ROOT("acts as a second user");
  ClientSandbox sandbox;  // ann is the test's own account
  sandbox.AddUser("bob", kBob, "Bob Jones", "/home/bob");
  const std::string queue = sandbox.Path("spool/queue/");
  const std::string temp = sandbox.Path("spool/temp/");
  for (const std::string& dir : {queue, temp}) {
    fs::create_directories(dir);
    ::chmod(dir.c_str(), 01777);  // every user posts into them
  }
  MailSystemProfile system{};
  GetSystemProfile(&system);
  std::snprintf(system.MailQueuePath, sizeof system.MailQueuePath, "%s", queue.c_str());
  std::snprintf(system.MailTempPath, sizeof system.MailTempPath, "%s", temp.c_str());
  ASSERT_EQ(UpdateMailSystemProfile(&system, sizeof system), 0u);
  {
    ActingAs bob(kBob);
    ASSERT_TRUE(bob.ok());
    MailProfile profile{};
    ASSERT_EQ(GetMailProfile(&profile, sizeof profile), 0u) << "registering bob";
  }
  MessageBoxRecorder boxes;
  const std::string log = sandbox.Path("service.log");
  const pid_t service = StartService(log);
  ASSERT_GT(service, 0);
  ASSERT_TRUE(WaitUntil([&] { return ReadTextFile(log).find("sender ready") != std::string::npos; }, 20000))
      << ReadTextFile(log);

  const std::string annNew = sandbox.Path("home/ann/mail/new/");
  const std::string bobNew = sandbox.Path("home/bob/mail/new/");
  const std::string bobMain = sandbox.Path("home/bob/mail/main/");

  // 1. ann composes in a new window and posts with F12.
  {
    Client ann;
    ASSERT_TRUE(ann.started());
    ann.app().mainFrameWindow()->router().Execute(kCmdNewMessage);
    CMsgDoc* doc = ann.Newest();
    ASSERT_NE(doc, nullptr);
    CMsgView* view = ViewOf(doc);
    Type(view, "bob");  // the caret waits after "To: "
    view->SelectErrorLine(view->StoredText().find("Subject: ") + 9, false);
    Type(view, "Lunch on Friday");
    view->moveCursor(QTextCursor::End);
    Type(view, "Shall we meet at noon?\nAnn");
    ASSERT_TRUE(ann.PressPost());
    EXPECT_EQ(ann.app().messageTemplate()->documents().size(), 0u) << "the window closes when posted";
    EXPECT_NE(ReadTextFile(sandbox.Path("home/ann/mail/lastpost.txt")).find("Subject: Lunch on Friday"),
              std::string::npos);
  }

  // 2. The service delivers it to bob's "new" folder.
  ASSERT_TRUE(WaitUntil([&] { return Messages(bobNew).size() == 1; }, 20000)) << ReadTextFile(log);

  // 3. bob's client counts it, opens it, replies to a quoted line and posts.
  {
    ActingAs asBob(kBob);
    ASSERT_TRUE(asBob.ok());
    Client bob;
    ASSERT_TRUE(bob.started());
    EXPECT_EQ(bob.app().mailDirectory(), sandbox.Path("home/bob/mail/"));
    EXPECT_TRUE(WaitUntil([&] { return bob.Pane(kPaneNewMail) == " 1 new message waiting "; }, 10000))
        << "[" << bob.Pane(kPaneNewMail) << "]";
    CMsgDoc* read = bob.Open(bobNew + Messages(bobNew)[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->mode, MsgMode::Read);
    EXPECT_EQ(read->subject, "Lunch on Friday");
    EXPECT_EQ(read->from, "ann  (Ann Smith)");
    EXPECT_EQ(read->title(), "new #1 - ann");
    const std::string text = ViewOf(read)->StoredText();
    const std::size_t line = text.find("Shall we meet");
    ASSERT_NE(line, std::string::npos) << text;
    ViewOf(read)->SelectOffsets(line, text.find('\n', line) + 1);
    read->Reply();
    CMsgDoc* reply = bob.Newest();
    ASSERT_NE(reply, read);
    EXPECT_EQ(reply->mode, MsgMode::Reply);
    Type(ViewOf(reply), "Yes, at noon.\n");
    ASSERT_TRUE(bob.PressPost());
    EXPECT_EQ(bob.app().messageTemplate()->documents().size(), 1u) << "only the message read is left";
    read->Close();  // filed from "new" into "main"
    EXPECT_EQ(Messages(bobNew), std::vector<std::string>{});
    EXPECT_EQ(Messages(bobMain).size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return bob.Pane(kPaneNewMail).empty(); }, 10000)) << "no mail waiting now";
  }

  // 4. The reply arrives back in ann's "new" folder, and ann's client shows it.
  ASSERT_TRUE(WaitUntil([&] { return Messages(annNew).size() == 1; }, 20000)) << ReadTextFile(log);
  {
    Client ann;
    ASSERT_TRUE(ann.started());
    EXPECT_TRUE(WaitUntil([&] { return ann.Pane(kPaneNewMail) == " 1 new message waiting "; }, 10000));
    CMsgDoc* answer = ann.Open(annNew + Messages(annNew)[0]);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->subject, "re: Lunch on Friday");
    EXPECT_EQ(answer->from, "bob  (Bob Jones)");
    EXPECT_EQ(answer->to, "ann");  // the address as the reply named it, without its comment
    const std::string text = ViewOf(answer)->StoredText();
    EXPECT_NE(text.find("\r\n\r\n> Shall we meet at noon?\r\nYes, at noon.\r\n"), std::string::npos) << text;
  }

  ::kill(service, SIGTERM);
  int status = 0;
  ::waitpid(service, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadTextFile(log);
  EXPECT_EQ(boxes.count(), 0u) << boxes.boxes()[0].text;
#endif
}

}  // namespace
}  // namespace pelldesk::test
