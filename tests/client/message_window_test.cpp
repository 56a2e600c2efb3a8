// Message windows over real files: the composition form and its caret, replies and
// forwards with and without a selection, titles, the status-bar panes, the commands
// by mode, and what happens to the file when the window closes, is moved or deleted.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "app/dest_folder_dlg.h"
#include "framework/commands.h"
#include "message/reply_text.h"
#include "message_test_support.h"

namespace pelldesk::test {
namespace {

const char kOwnAddress[] = "ann  (Ann Smith)";

TEST_F(MessageTest, ANewMessageWaitsForItsAddresseesAfterTo) {
  CMsgDoc* doc = Compose();
  ASSERT_NE(doc, nullptr);
  CMsgView* view = ViewOf(doc);
  const std::string form = std::string("From: ") + kOwnAddress + "\r\nTo: \r\nCc: \r\nSubject: \r\n\r\n";
  EXPECT_EQ(view->StoredText(), form);
  EXPECT_EQ(view->CaretOffset(), form.find("To: ") + 4);
  EXPECT_EQ(doc->mode, MsgMode::Send);
  EXPECT_EQ(doc->title(), "Send1");
  EXPECT_FALSE(view->isReadOnly());
  EXPECT_EQ(Pane(kPaneMode), "SEND");
  EXPECT_EQ(Pane(kPaneModified), "");  // writing the form is no change
  EXPECT_FALSE(doc->IsModified());

  Type(view, "bob");
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(Pane(kPaneModified), "MOD");
  EXPECT_EQ(view->StoredText(), std::string("From: ") + kOwnAddress + "\r\nTo: bob\r\nCc: \r\nSubject: \r\n\r\n");
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, CommandsFollowTheMode) {
  const std::string path = WriteMail("deleted/msg0001.mai", "From: NODE::SMITH\r\nSubject: x\r\n\r\nbody\r\n");
  CMsgDoc* read = Open(path);
  ASSERT_NE(read, nullptr);
  CMsgDoc* composition = Compose();
  ASSERT_NE(composition, nullptr);
  struct Row {
    int id;
    bool reading;
    bool composing;
  } rows[] = {
      {kCmdPost, false, true},   {kCmdCancel, false, true}, {kCmdReply, true, false},
      {kCmdForward, true, false}, {kCmdMove, true, false},  {kCmdDelete, false, false},  // in "deleted"
      {kCmdClose, true, false},  {kCmdCopy, false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Enabled(read, row.id), row.reading) << "READ window, command " << row.id;
    EXPECT_EQ(Enabled(composition, row.id), row.composing) << "composition, command " << row.id;
  }
  // A stored message is read-only: typing changes nothing, and nothing edits it.
  CMsgView* view = ViewOf(read);
  EXPECT_TRUE(view->isReadOnly());
  Type(view, "x");
  EXPECT_FALSE(read->IsModified());
  EXPECT_EQ(view->StoredText(), "From: NODE::SMITH\r\nSubject: x\r\n\r\nbody\r\n");
  view->selectAll();
  for (int id : {fw::kEditCut, fw::kEditPaste, fw::kEditClear, fw::kEditReplace, fw::kEditUndo}) {
    EXPECT_FALSE(Enabled(view, id)) << "READ window, edit command " << id;
  }
  EXPECT_TRUE(Enabled(view, fw::kEditCopy));
}

TEST_F(MessageTest, TitlesFromFolderNumberAndSender) {
  struct Row {
    const char* file;
    const char* header;
    const char* want;
  } rows[] = {
      {"main/msg0012.mai", "From: NODE::SMITH\r\n", "main #12 - NODE::SMITH"},
      {"main/0007.mai", "From: NODE::SMITH\r\n", "main - NODE::SMITH"},  // begins with a digit
      {"main/msg0003.mai", "Subject: no sender\r\n", "main #3"},
      {"work/notes.mai", "From: NODE::SMITH  (John Smith)\r\n", "work - NODE::SMITH"},
      {"new/msg0000.mai", "From: NODE::SMITH\r\n", "new #0 - NODE::SMITH"},
  };
  for (const Row& row : rows) {
    CMsgDoc* doc = Open(WriteMail(row.file, std::string(row.header) + "\r\nbody\r\n"));
    ASSERT_NE(doc, nullptr) << row.file;
    EXPECT_EQ(doc->title(), row.want) << row.file;
    EXPECT_EQ(Pane(kPaneMode), "READ") << row.file;
  }
  EXPECT_EQ(boxes_->count(), 0u);
}

// The reply or forward that `command` opens from `doc`.
CMsgDoc* Answer(CMsgDoc* doc, void (CMsgDoc::*command)()) {
  const std::size_t before = CMailApp::Get().messageTemplate()->documents().size();
  (doc->*command)();
  auto docs = CMailApp::Get().messageTemplate()->documents();
  return docs.size() == before + 1 ? dynamic_cast<CMsgDoc*>(docs.back()) : nullptr;
}

TEST_F(MessageTest, ReplyAndForwardSubjects) {
  struct Row {
    const char* subjectLine;
    const char* reply;
    const char* forward;
  } rows[] = {
      {"Subject: Re: RE: plans\r\n", "re: plans", "fwd: plans"},
      {"", "", ""},  // no Subject: no bare prefix
      {"Subject: Fwd: re: \r\n", "", ""},
      {"Subject: lunch\r\n", "re: lunch", "fwd: lunch"},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string from = "From: NODE::SMITH  (John Smith)\r\n";
    CMsgDoc* doc = Open(WriteMail("main/msg000" + std::to_string(++n) + ".mai",
                                  from + row.subjectLine + "\r\nbody\r\n"));
    ASSERT_NE(doc, nullptr);
    CMsgDoc* reply = Answer(doc, &CMsgDoc::Reply);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->mode, MsgMode::Reply);
    EXPECT_EQ(reply->subject, row.reply) << row.subjectLine;
    EXPECT_EQ(reply->to, "NODE::SMITH  (John Smith)");  // unchanged, personal name included
    EXPECT_EQ(reply->cc, "");
    EXPECT_EQ(reply->from, kOwnAddress);
    CMsgDoc* forward = Answer(doc, &CMsgDoc::Forward);
    ASSERT_NE(forward, nullptr);
    EXPECT_EQ(forward->mode, MsgMode::Fwd);
    EXPECT_EQ(forward->subject, row.forward) << row.subjectLine;
    EXPECT_EQ(forward->to, "");
  }
}

TEST_F(MessageTest, ReplyQuotesTheSelectionAndWaitsAtItsEnd) {
  const std::string header = "From: NODE::SMITH\r\nSubject: plans\r\n\r\n";
  const std::string text = header + "line one\r\nline two\r\nline three\r\n";
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", text));
  ASSERT_NE(doc, nullptr);
  CMsgView* view = ViewOf(doc);
  const std::size_t body = header.size();
  struct Row {
    std::size_t start;
    std::size_t end;
    const char* quoted;
  } rows[] = {
      {body, body + 20, "> line one\r\n> line two\r\n"},  // two whole lines
      {body, body + 11, "> line one\r\n> l"},             // a line and one character
      {body, body + 30, "> line one\r\n> line two\r\n> line three"},  // three lines, the last unended
      {body + 5, body + 5, ""},                           // nothing selected: empty body
  };
  for (const Row& row : rows) {
    view->SelectOffsets(row.start, row.end);
    std::size_t start = 0, end = 0;
    view->GetSelection(&start, &end);
    ASSERT_EQ(start, row.start);
    ASSERT_EQ(end, row.end);
    CMsgDoc* reply = Answer(doc, &CMsgDoc::Reply);
    ASSERT_NE(reply, nullptr);
    const std::string form = CompositionText(kOwnAddress, "NODE::SMITH", "", "re: plans", row.quoted);
    CMsgView* replyView = ViewOf(reply);
    EXPECT_EQ(replyView->StoredText(), form) << "selection " << row.start << ".." << row.end;
    EXPECT_EQ(replyView->CaretOffset(), form.size()) << "the caret waits at the end of the quoted text";
    EXPECT_FALSE(reply->IsModified());
  }
}

TEST_F(MessageTest, SelectionOffsetsCountEachLineEndAsTwoBytes) {
  // The user selects in the editor, where each CR LF is one character.
  const std::string text = "From: NODE::SMITH\r\n\r\nab\r\ncd\r\nef\r\n";
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", text));
  CMsgView* view = ViewOf(doc);
  QTextCursor cursor = view->textCursor();
  const int cdBlockStart = view->QPlainTextEdit::document()->findBlockByNumber(3).position();
  cursor.setPosition(cdBlockStart);
  cursor.setPosition(cdBlockStart + 4, QTextCursor::KeepAnchor);  // "cd", its break, "e"
  view->setTextCursor(cursor);
  std::size_t start = 0, end = 0;
  view->GetSelection(&start, &end);
  EXPECT_EQ(text.substr(start, end - start), "cd\r\ne");
  CMsgDoc* reply = Answer(doc, &CMsgDoc::Reply);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(ViewOf(reply)->StoredText(), CompositionText(kOwnAddress, "NODE::SMITH", "", "", "> cd\r\n> e"));
}

TEST_F(MessageTest, ForwardCarriesTheWholeMessageOrTheQuotedSelection) {
  const std::string text = "From: NODE::SMITH\r\nTo: ann\r\nSubject: plans\r\n\r\nline one\r\nline two\r\n";
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", text));
  ASSERT_NE(doc, nullptr);
  CMsgDoc* whole = Answer(doc, &CMsgDoc::Forward);
  ASSERT_NE(whole, nullptr);
  const std::string form = CompositionText(kOwnAddress, "", "", "fwd: plans", text);
  EXPECT_EQ(ViewOf(whole)->StoredText(), form);  // header lines included, not quoted
  EXPECT_EQ(ViewOf(whole)->CaretOffset(), form.find("To: ") + 4);  // the form's To, not the body's

  const std::size_t body = text.find("line one");
  ViewOf(doc)->SelectOffsets(body, body + 10);
  CMsgDoc* part = Answer(doc, &CMsgDoc::Forward);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(ViewOf(part)->StoredText(), CompositionText(kOwnAddress, "", "", "fwd: plans", "> line one\r\n"));
}

TEST_F(MessageTest, ClosingFilesAMessageReadFromNewIntoMain) {
  const std::string content = "From: NODE::SMITH\r\nSubject: hello\r\n\r\nbody\r\n";
  const std::string path = WriteMail("new/msg0001.mai", content);
  ASSERT_FALSE(std::filesystem::exists(Mail("main")));
  CMsgDoc* doc = Open(path);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->folderKind, CMsgDoc::FolderKind::New);
  doc->Close();
  ProcessEvents();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Messages("new"), std::vector<std::string>{});
  ASSERT_EQ(Messages("main"), std::vector<std::string>{"msg0001.mai"});  // "main" was created
  EXPECT_EQ(pellam::test::ReadTextFile(Mail("main/msg0001.mai")), content);

  // Read from "main", it stays where it is.
  doc = Open(Mail("main/msg0001.mai"));
  ASSERT_NE(doc, nullptr);
  doc->Close();
  EXPECT_EQ(Messages("main"), std::vector<std::string>{"msg0001.mai"});
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, ADeletionFromTheFolderWindowClosesTheMessageWindowWithoutFiling) {
  const std::string path = WriteMail("new/msg0001.mai", "From: NODE::SMITH\r\n\r\nbody\r\n");
  CMsgDoc* doc = Open(path);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(app_.DeleteMessage(path, false), 0);  // what the folder view's Delete does
  ProcessEvents();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Messages("deleted"), std::vector<std::string>{"msg0001.mai"});
  EXPECT_EQ(Messages("new"), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(Mail("main")));
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, ADraftChangedSinceItWasSavedOutlivesTheDeletionOfItsFile) {
  for (const bool changed : {false, true}) {
    CMsgDoc* doc = Compose();
    ASSERT_NE(doc, nullptr);
    const std::string path = Mail("main/msg0009.mai");
    std::filesystem::create_directories(Mail("main"));
    ASSERT_TRUE(doc->DoSave(path));
    if (changed) doc->SetModifiedFlag(true);  // typed on after the save
    const std::string title = doc->title();
    EXPECT_EQ(app_.DeleteMessage(path, false), 0);
    ProcessEvents();
    if (!changed) {
      EXPECT_TRUE(MessageDocs().empty()) << "an unchanged draft goes with its file";
      continue;
    }
    ASSERT_EQ(MessageDocs().size(), 1u) << "the changes would be lost";
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->pathName(), "") << "its next Save asks for a name";
    EXPECT_EQ(doc->title(), title);
  }
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, DeleteAndMoveFromTheMessageWindow) {
  CMsgDoc* doc = Open(WriteMail("new/msg0001.mai", "From: NODE::SMITH\r\n\r\nbody\r\n"));
  ASSERT_NE(doc, nullptr);
  doc->Delete();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Messages("deleted"), std::vector<std::string>{"msg0001.mai"});
  EXPECT_FALSE(std::filesystem::exists(Mail("main")));  // a deleted message is not filed

  // Move asks for the folder; "work" does not exist and may be created.
  doc = Open(WriteMail("new/msg0002.mai", "From: NODE::SMITH\r\n\r\nbody\r\n"));
  ASSERT_NE(doc, nullptr);
  bool answered = false;
  QTimer::singleShot(0, [&answered] {
    auto* dialog = dynamic_cast<CDestFolderDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->nameBox()->setEditText("work");
    dialog->allowCreateBox()->setChecked(true);
    dialog->OnOK();
    answered = true;
  });
  doc->Move();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Messages("work"), std::vector<std::string>{"msg0001.mai"});
  EXPECT_EQ(Messages("new"), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(Mail("main")));
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(MessageTest, AFailedFilingStillClosesAndShowsTheMessageAsSeen) {
  CMsgDoc* doc = Open(WriteMail("new/msg0001.mai", "From: NODE::SMITH\r\n\r\nbody\r\n"));
  ASSERT_NE(doc, nullptr);
  // "main" cannot be made: a file stands in its place.
  pellam::test::WriteTextFile(Mail("main"), "not a folder");
  doc->Close();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Messages("new"), std::vector<std::string>{"msg0001.mai"});
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_NE(boxes_->boxes()[0].text.find("\"main\""), std::string::npos) << boxes_->boxes()[0].text;
}

}  // namespace
}  // namespace pelldesk::test
