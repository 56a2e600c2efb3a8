// What the message window's tests share: the client started in a sandbox whose system
// profile points at a queue inside it, message files written into the mailbox, the
// message windows found by their documents, and typing into a window's editor.
#pragma once

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "client_test_support.h"
#include "framework/doc_template.h"
#include "mainframe/main_frame.h"
#include "message/msg_doc.h"
#include "message/msg_view.h"
#include "message/text_search.h"
#include "pellam.h"

namespace pelldesk::test {

inline CMsgView* ViewOf(CMsgDoc* doc) {
  return doc == nullptr || doc->views().empty() ? nullptr : dynamic_cast<CMsgView*>(doc->views().front());
}

// Types `text` into the widget as key presses ("\n" is the Return key).
inline void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    const bool enter = c == u'\n';
    const int key = enter ? static_cast<int>(Qt::Key_Return) : static_cast<int>(c.toUpper().unicode());
    const QString typed = enter ? QString("\r") : QString(c);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
  }
}

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    queue_ = sandbox_.Path("spool/queue/");
    fs::create_directories(queue_);
    fs::create_directories(sandbox_.Path("spool/temp/"));
    MailSystemProfile system{};
    GetSystemProfile(&system);
    std::snprintf(system.MailQueuePath, sizeof system.MailQueuePath, "%s", queue_.c_str());
    std::snprintf(system.MailTempPath, sizeof system.MailTempPath, "%s", sandbox_.Path("spool/temp/").c_str());
    ASSERT_EQ(UpdateMailSystemProfile(&system, sizeof system), 0u);
    ASSERT_TRUE(app_.InitInstance());
    boxes_ = std::make_unique<MessageBoxRecorder>();
    LastSearch() = SearchState{};  // one for the whole run: each test starts with none
  }
  void TearDown() override {
    app_.End();
    boxes_.reset();
  }

  std::string Mail(const std::string& rest) const { return sandbox_.MailDirectory() + rest; }
  // Writes a message file below the mail directory; its full path.
  std::string WriteMail(const std::string& rest, const std::string& content) const {
    pellam::test::WriteTextFile(Mail(rest), content);
    return Mail(rest);
  }
  std::vector<std::string> Files(const std::string& dir) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Messages(const std::string& folder) const {
    std::vector<std::string> names = Files(Mail(folder));
    names.erase(std::remove(names.begin(), names.end(), "#serial.dat"), names.end());
    return names;
  }

  std::vector<CMsgDoc*> MessageDocs() const {
    std::vector<CMsgDoc*> docs;
    for (fw::Document* doc : app_.messageTemplate()->documents()) docs.push_back(dynamic_cast<CMsgDoc*>(doc));
    return docs;
  }
  // The window of a stored message, through the folder operation the folder view uses.
  CMsgDoc* Open(const std::string& path) {
    if (!app_.OpenMessageWindow(path.c_str())) return nullptr;
    return dynamic_cast<CMsgDoc*>(app_.FindOpenDocument(path));
  }
  // A new composition, as the New command opens it.
  CMsgDoc* Compose() {
    const std::size_t before = MessageDocs().size();
    app_.mainFrameWindow()->router().Execute(kCmdNewMessage);
    std::vector<CMsgDoc*> docs = MessageDocs();
    return docs.size() == before + 1 ? docs.back() : nullptr;
  }
  // The newest message window (a reply or forward just opened).
  CMsgDoc* Newest() const {
    std::vector<CMsgDoc*> docs = MessageDocs();
    return docs.empty() ? nullptr : docs.back();
  }
  std::string Pane(int id) {
    app_.mainFrameWindow()->UpdateCommandUi();
    return app_.mainFrameWindow()->PaneText(id);
  }
  static bool Enabled(const fw::CommandTarget* target, int id) {
    fw::CommandState state;
    return target->QueryState(id, &state) && state.enabled;
  }

  ClientSandbox sandbox_;
  std::string queue_;
  MessageBoxRecorder startBoxes_;
  TestApp app_;
  std::unique_ptr<MessageBoxRecorder> boxes_;
};

// The library's text of a status, as a report shows it after its blank line.
inline std::string StatusText(uint32_t status) {
  char buffer[512];
  std::string text = GetErrorText(status, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

}  // namespace pelldesk::test
