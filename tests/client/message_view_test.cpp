// The message view: pointing at error lines, Find, Find Next and Replace, printing to
// PDF with nothing cut off, font changes reaching every window, and screenshots of a
// reading and a composition window.
#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>

#include "app/font_value.h"
#include "framework/child_frame.h"
#include "framework/commands.h"
#include "message/text_print.h"
#include "message/text_search.h"
#include "message_test_support.h"

namespace pelldesk::test {
namespace {

using pellam::test::ReadTextFile;

const std::string kStored =
    "From: NODE::SMITH  (John Smith)\r\nTo: ann\r\nDate: 12-JAN-1995 10:20:30\r\nSubject: Lunch plans\r\n\r\n"
    "Ann,\r\n\r\nShall we meet at the canteen on Friday? The Line at noon\r\nis short.\r\n\r\nJohn\r\n";

TEST_F(MessageTest, ErrorLinesAndCaretsAtOffsets) {
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", kStored));
  ASSERT_NE(doc, nullptr);
  CMsgView* view = ViewOf(doc);
  struct Row {
    std::size_t offset;
    bool wholeLine;
    const char* selected;
    std::size_t caret;
  } rows[] = {
      {kStored.size() - 3, true, "John\r\n", kStored.size() - 6},  // in the last line: to the end of the text
      {kStored.size(), true, "", kStored.size()},                  // after the last line end: the empty last line
      {0, false, "", 0},                                           // caret only, at the start
      {35, true, "To: ann\r\n", 33},
      {32, true, "From: NODE::SMITH  (John Smith)\r\n", 0},         // on the LF of a line end
      {kStored.size() + 10, true, "", kStored.size()},              // past the end: no line, caret at the end
  };
  for (const Row& row : rows) {
    view->SelectErrorLine(row.offset, row.wholeLine);
    std::size_t start = 0, end = 0;
    view->GetSelection(&start, &end);
    EXPECT_EQ(kStored.substr(start, end - start), row.selected) << "offset " << row.offset;
    EXPECT_EQ(view->CaretOffset(), row.caret) << "offset " << row.offset;
  }
}

TEST_F(MessageTest, FindFindNextAndReplace) {
  CMsgDoc* read = Open(WriteMail("main/msg0001.mai", kStored));
  ASSERT_NE(read, nullptr);
  CMsgView* view = ViewOf(read);
  EXPECT_FALSE(Enabled(view, fw::kEditRepeat)) << "nothing looked for yet";
  LastSearch() = SearchState{"line", "", false, true};
  EXPECT_TRUE(Enabled(view, fw::kEditRepeat));
  struct Row {
    bool matchCase;
    bool down;
    std::size_t wantStart;  // offset of the match, npos for none
  } rows[] = {
      {false, true, kStored.find("Line")},   // the first, in any case
      {false, true, kStored.find("Line")},   // once around: the same again (it is the only one)
      {true, true, std::string::npos},       // "line" in lower case is not there
  };
  view->SelectOffsets(0, 0);
  for (const Row& row : rows) {
    LastSearch().matchCase = row.matchCase;
    LastSearch().down = row.down;
    const bool found = FindInEditor(*view, LastSearch());
    EXPECT_EQ(found, row.wantStart != std::string::npos);
    if (!found) continue;
    std::size_t start = 0, end = 0;
    view->GetSelection(&start, &end);
    EXPECT_EQ(start, row.wantStart);
    EXPECT_EQ(end - start, 4u);
  }
  // Up from the end finds the last "the" (offsets count each line end as two bytes).
  view->SelectOffsets(kStored.size(), kStored.size());
  ASSERT_TRUE(FindInEditor(*view, SearchState{"the", "", false, false}));
  std::size_t start = 0, end = 0;
  view->GetSelection(&start, &end);
  EXPECT_EQ(start, kStored.rfind("The"));
  // A stored message is never changed by Replace.
  EXPECT_EQ(ReplaceAllInEditor(*view, SearchState{"the", "a", false, true}), 0);
  EXPECT_EQ(view->StoredText(), kStored);
  EXPECT_FALSE(read->IsModified());

  CMsgDoc* composition = Compose();
  CMsgView* editor = ViewOf(composition);
  editor->moveCursor(QTextCursor::End);
  Type(editor, "one two one\nOne");
  EXPECT_EQ(ReplaceAllInEditor(*editor, SearchState{"one", "one one", false, true}), 3);
  EXPECT_NE(editor->StoredText().find("\r\n\r\none one two one one\r\none one"), std::string::npos)
      << editor->StoredText();
  editor->undo();  // one step takes all three back
  EXPECT_NE(editor->StoredText().find("\r\n\r\none two one\r\nOne"), std::string::npos) << editor->StoredText();
  // Replace replaces the selected match and moves on to the next.
  editor->SelectOffsets(0, 0);
  const SearchState two{"two", "2", true, true};
  ASSERT_TRUE(FindInEditor(*editor, two));
  EXPECT_FALSE(ReplaceInEditor(*editor, two));  // no further "two" after it
  EXPECT_NE(editor->StoredText().find("one 2 one"), std::string::npos);
  EXPECT_TRUE(composition->IsModified());
}

TEST_F(MessageTest, TheFindDialogStartsFromTheSelection) {
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", kStored));
  CMsgView* view = ViewOf(doc);
  const std::size_t at = kStored.find("canteen");
  view->SelectOffsets(at, at + 7);
  ASSERT_TRUE(view->Dispatch(fw::kEditFind));
  ASSERT_NE(view->findDialog(), nullptr);
  EXPECT_EQ(view->findDialog()->whatEdit()->text(), "canteen");
  EXPECT_EQ(view->findDialog()->withEdit(), nullptr) << "Find has no Replace field";
  view->findDialog()->whatEdit()->setText("Friday");
  view->findDialog()->OnFindNext();
  EXPECT_EQ(LastSearch().what, "Friday");
  std::size_t start = 0, end = 0;
  view->GetSelection(&start, &end);
  EXPECT_EQ(kStored.substr(start, end - start), "Friday");
  EXPECT_FALSE(Enabled(view, fw::kEditReplace)) << "a stored message is read-only";
}

// The text pdftotext finds in a PDF, or "" without the tool.
std::string PdfText(const std::string& pdf) {
  QProcess tool;
  tool.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
  if (!tool.waitForFinished(20000) || tool.exitCode() != 0) return {};
  return tool.readAllStandardOutput().toStdString();
}

TEST_F(MessageTest, PrintingPutsTheWholeTextOnPaper) {
  const std::string longLine = std::string(600, 'x') + " END-OF-LONG-LINE";
  CMsgDoc* doc = Open(WriteMail("main/msg0001.mai", kStored + longLine + "\r\n"));
  ASSERT_NE(doc, nullptr);
  const std::string pdf = sandbox_.Path("print.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  PrintEditorText(*ViewOf(doc), &printer);
  ASSERT_GT(std::filesystem::file_size(pdf), 1000u);
  const std::string text = PdfText(pdf);
  if (text.empty()) GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_NE(text.find("Shall we meet at the canteen"), std::string::npos) << text;
  EXPECT_NE(text.find("END-OF-LONG-LINE"), std::string::npos) << "a long line is wrapped, not cut off";
  EXPECT_TRUE(Enabled(ViewOf(doc), fw::kFilePrint));
  EXPECT_TRUE(Enabled(ViewOf(doc), fw::kFilePrintPreview));
}

TEST_F(MessageTest, AFontChangeReachesEveryMessageWindow) {
  std::vector<CMsgView*> views;
  for (int i = 0; i < 3; ++i) views.push_back(ViewOf(i == 0 ? Open(WriteMail("main/msg0001.mai", kStored)) : Compose()));
  LogFont chosen;
  chosen.height = -23;
  chosen.weight = 700;
  chosen.pitchAndFamily = kFixedPitch | kFamilyModern;
  std::snprintf(chosen.faceName, sizeof chosen.faceName, "%s", "DejaVu Sans Mono");
  ASSERT_TRUE(app_.ApplyChosenFont(chosen));
  ASSERT_NE(app_.displayFont(), nullptr);
  for (CMsgView* view : views) {
    EXPECT_EQ(view->font(), *app_.displayFont());
    EXPECT_EQ(view->font().bold(), true);
  }
}

void Shoot(QWidget* window, const char* name, const std::string& directory) {
  CMailApp::Get().mainFrameWindow()->UpdateCommandUi();  // the panes, without waiting for their timer
  ProcessEvents();
  const QImage picture = window->grab().toImage();
  SaveScreenshot(picture, name, directory);
  // The active message's editor is drawn in the picture: its background at its lower
  // right, below the text.
  auto* editor = dynamic_cast<QPlainTextEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr) << "no message editor has the focus";
  const QWidget* area = editor->viewport();
  const QPoint blank = area->mapTo(window, QPoint(area->width() - 6, area->height() - 6));
  EXPECT_EQ(picture.pixelColor(blank).rgb(), area->palette().color(QPalette::Base).rgb()) << name;
  EXPECT_GT(DrawnPixels(picture, QRect(area->mapTo(window, QPoint(0, 0)), area->size())), 300) << name << ": the text";
}

TEST_F(MessageTest, ScreenshotsOfAReadingAndAComposingWindow) {
  QWidget* main = app_.mainWindow();
  main->resize(820, 560);
  CMsgDoc* read = Open(WriteMail("new/msg0007.mai", kStored));
  ASSERT_NE(read, nullptr);
  ViewOf(read)->frame()->showMaximized();
  Shoot(main, "pelldesk-message-read.png", sandbox_.Path("pictures"));

  CMsgDoc* reply = nullptr;
  const std::size_t at = kStored.find("Shall");
  ViewOf(read)->SelectOffsets(at, kStored.find("John\r\n", at));
  read->Reply();
  reply = Newest();
  ASSERT_NE(reply, nullptr);
  ASSERT_NE(reply, read);
  ViewOf(reply)->frame()->showMaximized();
  Type(ViewOf(reply), "\nFriday suits me.\n");
  Shoot(main, "pelldesk-message-reply.png", sandbox_.Path("pictures"));
  EXPECT_EQ(Pane(kPaneMode), "REPLY");
  EXPECT_EQ(Pane(kPaneModified), "MOD");
}

}  // namespace
}  // namespace pelldesk::test
