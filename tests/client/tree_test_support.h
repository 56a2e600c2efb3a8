// What the folder tree's tests share: the client started in a sandbox with folders
// made on disk, the tree window opened on the mail directory, mouse clicks on its
// lines, and a stand-in folder window that answers the operations as a folder window
// does (it closes when its folder goes, and says when it closes).
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>

#include "app/mailbox_listeners.h"
#include "client_test_support.h"
#include "framework/child_frame.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/view.h"
#include "tree/tree_doc.h"
#include "tree/tree_view.h"

namespace pelldesk::test {

class StandInFolderView : public QWidget, public fw::View {
 public:
  QWidget* widget() override { return this; }
};

class StandInFolderDoc : public fw::Document, public MovedFileListener {
 public:
  bool OnOpenDocument(const std::string&) override { return true; }
  void OnFileMoved(const std::string&, const std::string&, bool) override { OnCloseDocument(); }
  void OnCloseDocument() override {
    const std::string path = pathName();
    fw::Document::OnCloseDocument();  // deletes this
    CMailApp::Get().NotifyFolderClosed(path);
  }
};

inline fw::DocumentKind StandInFolderKind() {
  return {[] { return std::make_unique<StandInFolderDoc>(); }, {}, [] { return new StandInFolderView; }};
}

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance());
    boxes_ = std::make_unique<MessageBoxRecorder>();
  }
  void TearDown() override {
    boxes_.reset();
    app_.End();
  }

  // The mail directory without its final "/", the tree's root.
  std::string Root() const {
    std::string root = sandbox_.MailDirectory();
    root.pop_back();
    return root;
  }
  std::string Mail(const std::string& rest) const { return Root() + "/" + rest; }
  void Folders(std::initializer_list<std::string> relative) {
    for (const std::string& each : relative) std::filesystem::create_directories(Mail(each));
  }

  // A tree window on the mail directory built for the first time: the one opened at
  // start-up (before the test made its folders) goes first.
  CTreeDoc* OpenTree() {
    CloseTrees();
    if (!app_.OpenTreeWindow(Root())) return nullptr;
    return Tree();
  }
  void CloseTrees() {
    for (fw::Document* doc : app_.treeTemplate()->documents()) doc->OnCloseDocument();
    ProcessEvents();
  }
  CTreeDoc* Tree() const {
    const auto docs = app_.treeTemplate()->documents();
    return docs.empty() ? nullptr : dynamic_cast<CTreeDoc*>(docs.front());
  }
  static CTreeView* ViewOf(const CTreeDoc* doc) {
    return doc == nullptr || doc->views().empty() ? nullptr : dynamic_cast<CTreeView*>(doc->views().front());
  }
  // The index of the entry with this path relative to the mail directory ("" the root).
  static int IndexOf(const CTreeDoc* doc, const std::string& fullPath) {
    for (int i = 0; i < doc->count(); ++i) {
      if (doc->GetFolderEntry(i).path == fullPath) return i;
    }
    return -1;
  }

  static void Mouse(CTreeView* view, QEvent::Type type, int y) {
    QMouseEvent event(type, QPointF(30, y), view->viewport()->mapToGlobal(QPointF(30, y)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  }
  // A single click in the middle of line `row` (window coordinates, no scrolling).
  static void Click(CTreeView* view, int row) {
    const int y = row * view->lineHeight() + view->lineHeight() / 2;
    Mouse(view, QEvent::MouseButtonPress, y);
    Mouse(view, QEvent::MouseButtonRelease, y);
  }
  // A double click as the system delivers it: press, release, double click, release.
  static void DoubleClick(CTreeView* view, int row) {
    const int y = row * view->lineHeight() + view->lineHeight() / 2;
    Click(view, row);
    Mouse(view, QEvent::MouseButtonDblClick, y);
    Mouse(view, QEvent::MouseButtonRelease, y);
  }

  ClientSandbox sandbox_;
  MessageBoxRecorder startBoxes_;
  TestApp app_;
  std::unique_ptr<MessageBoxRecorder> boxes_;
};

}  // namespace pelldesk::test
