// What the folder window's tests share: the client started in a sandbox, message files
// written into its mailbox, folder windows opened through the folder operations and
// found by their documents, and the text of every message box shown.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include "app/dest_folder_dlg.h"
#include "framework/doc_template.h"
#include "app/error_report.h"
#include "app/resource_ids.h"
#include "client_test_support.h"
#include "folder/dir_doc.h"
#include "folder/dir_frame.h"
#include "folder/dir_view.h"
#include "framework/child_frame.h"
#include "sandbox.h"

namespace pelldesk::test {

inline constexpr char kReceived[] = "by NODEA; Mon, 12 Jan 1995 10:20:30 GMT";

// A stored message with the three headers the folder list reads (an empty value leaves
// its header out) and a body.
inline std::string MessageText(const std::string& from, const std::string& subject,
                               const std::string& received = kReceived) {
  std::string text;
  if (!received.empty()) text += "Received: " + received + "\r\n";
  if (!from.empty()) text += "From: " + from + "\r\n";
  if (!subject.empty()) text += "Subject: " + subject + "\r\n";
  return text + "\r\nThe text of the message.\r\n";
}

// The text of the box ReportError shows for these arguments.
inline std::string Report(const char* format, const std::string& text, uint32_t status = 0) {
  return FormatErrorReport(format, text.c_str(), status).value_or("<no report>");
}

// Answers the next "Destination folder" dialog: the name typed and the "&Allow create"
// box, then OK (or Cancel).
inline void AnswerDestinationDialog(const std::string& name, bool allowCreate, bool ok = true) {
  auto answer = std::make_shared<std::function<void()>>();
  *answer = [=] {
    auto* dialog = dynamic_cast<CDestFolderDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      QTimer::singleShot(5, *answer);  // not shown yet
      return;
    }
    dialog->nameBox()->setEditText(QString::fromLatin1(name.c_str()));
    dialog->allowCreateBox()->setChecked(allowCreate);
    if (ok) {
      dialog->OnOK();
    } else {
      dialog->reject();
    }
    *answer = nullptr;  // breaks the cycle through the captured pointer
  };
  QTimer::singleShot(0, *answer);
}

inline CDirView* ViewOf(const CDirDoc* doc) {
  return doc == nullptr || doc->views().empty() ? nullptr : dynamic_cast<CDirView*>(doc->views().front());
}

inline CDirFrame* FrameOf(const CDirDoc* doc) {
  CDirView* view = ViewOf(doc);
  return view == nullptr ? nullptr : dynamic_cast<CDirFrame*>(view->frame());
}

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance());
    boxes_ = std::make_unique<MessageBoxRecorder>();
  }
  void TearDown() override {
    app_.End();
    boxes_.reset();
  }

  // `rest` below the mail directory.
  std::string Mail(const std::string& rest) const { return sandbox_.MailDirectory() + rest; }
  void Write(const std::string& rest, const std::string& content) const {
    pellam::test::WriteTextFile(Mail(rest), content);
  }
  void MakeFolder(const std::string& rest) const { std::filesystem::create_directories(Mail(rest)); }

  // Opens the folder window of `rest` through the folder operations; null when none opened.
  CDirDoc* Open(const std::string& rest) {
    std::string path = Mail(rest);
    while (!path.empty() && path.back() == '/') path.pop_back();
    if (!app_.OpenFolderWindow(path)) return nullptr;
    return dynamic_cast<CDirDoc*>(app_.FindOpenDocument(path));
  }
  bool IsOpen(const std::string& rest) const {
    std::string path = Mail(rest);
    while (!path.empty() && path.back() == '/') path.pop_back();
    return app_.FindOpenDocument(path) != nullptr;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const BoxRecord& box : boxes_->boxes()) texts.push_back(box.text);
    return texts;
  }
  void SetFolderDeletion(bool on) {
    Preferences p = app_.preferences();
    p.folderDeletion = on;
    app_.SetPreferences(p);
  }

  ClientSandbox sandbox_;
  MessageBoxRecorder startBoxes_;
  TestApp app_;
  std::unique_ptr<MessageBoxRecorder> boxes_;
};

}  // namespace pelldesk::test
