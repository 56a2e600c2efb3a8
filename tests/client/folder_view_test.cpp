// The folder list on the screen: its texts and columns, the colours of live, selected
// and grey lines, selection by the mouse, opening by double click, Move and Delete of
// the selected message, the search with its shared state and "Find in Folder" dialog,
// the column-header bar, a font change, and a screenshot of a window in use.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMouseEvent>
#include <QRadioButton>
#include <QCheckBox>
#include <QScrollBar>

#include <filesystem>

#include "app/display_font.h"
#include "app/font_value.h"
#include "folder/dir_painter.h"
#include "folder/dir_search.h"
#include "folder/find_dialog.h"
#include "folder/row_texts.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/mdi_frame.h"
#include "folder_test_support.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

bool Enabled(const fw::CommandTarget& target, int id) {
  fw::CommandState state;
  EXPECT_TRUE(target.QueryState(id, &state)) << id;
  return state.enabled;
}

class LocaleScope {
 public:
  explicit LocaleScope(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

TEST(FolderRowTexts, DatesAndTimesInTheLocaleWithoutSeconds) {
  const struct {
    const char* locale;
    MailDate date;
    const char* dateText;
    const char* timeText;
  } rows[] = {
      {"en_US", {1995, 1, 1, 12, 10, 20, 30, 0}, "1/12/95", "10:20 AM"},
      {"de_DE", {1995, 1, 1, 12, 22, 5, 30, 0}, "12.01.95", "22:05"},
      {"C", {2004, 2, 65535, 3, 8, 0, 0, 0}, "3 Feb 2004", "08:00"},
      {"C", {1995, 1, 65535, 12, 10, 20, 65535, 0}, "12 Jan 1995", "10:20"},  // no seconds given
      {"C", {0, 0, 0, 0, 0, 0, 0, 0}, "--unk--", "--unk--"},                   // unknown
      {"C", {1995, 65535, 65535, 12, 10, 20, 30, 0}, "--unk--", "10:20"},       // month not understood
      {"C", {1995, 2, 0, 30, 25, 61, 0, 0}, "--unk--", "--unk--"},              // no such day or time
  };
  for (const auto& row : rows) {
    LocaleScope scope{QLocale(row.locale)};
    EXPECT_EQ(ReceivedDateText(row.date).toStdString(), row.dateText) << row.locale;
    EXPECT_EQ(ReceivedTimeText(row.date).toStdString(), row.timeText) << row.locale;
  }
}

TEST(FolderRowTexts, SecondsLeaveTheTimeFormat) {
  const struct {
    const char* format;
    const char* want;
  } rows[] = {{"HH:mm:ss", "HH:mm"}, {"h:mm:ss AP", "h:mm AP"}, {"HH.mm.s", "HH.mm"},
              {"HH:mm", "HH:mm"},     {"'s' HH:mm:ss", "'s' HH:mm"}};
  for (const auto& row : rows) EXPECT_EQ(WithoutSeconds(row.format).toStdString(), row.want) << row.format;
}

TEST(FolderRowColours, LiveSelectedAndGreyLines) {
  const DirColours c{Qt::black, Qt::white, Qt::yellow, Qt::blue, Qt::gray};
  const struct {
    int state;
    bool selected;
    RowColours want;
  } rows[] = {
      {kEntryListed, false, {Qt::black, Qt::white}}, {kEntrySeen, false, {Qt::black, Qt::white}},
      {kEntryOpen, true, {Qt::yellow, Qt::blue}},     {kEntryListed, true, {Qt::yellow, Qt::blue}},
      {kEntryDeleted, false, {Qt::gray, Qt::white}},  {kEntryMoved, false, {Qt::gray, Qt::white}},
      {kEntryMoved, true, {Qt::white, Qt::gray}},     {kEntryUnknown, false, {Qt::gray, Qt::white}},
  };
  for (const auto& row : rows) {
    const RowColours got = RowColoursOf(row.state, row.selected, c);
    EXPECT_EQ(got, row.want) << "state " << row.state << (row.selected ? " selected" : "") << ": got "
                             << got.text.name().toStdString() << " on " << got.background.name().toStdString();
  }
}

class FolderView : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    // A message window here opens on any file and has no view of its own to speak of.
    app_.messageTemplate()->SetDocumentKind(
        {[] { return std::make_unique<OpenAnything>(); }, {}, [] { return new PlainView; }});
  }
  struct OpenAnything : fw::Document {
    bool OnOpenDocument(const std::string&) override { return true; }
    void OnCloseDocument() override {
      const std::string path = pathName();
      fw::Document::OnCloseDocument();
      CMailApp::Get().NotifyMessageClosed(path);
    }
  };
  struct PlainView : QWidget, fw::View {
    QWidget* widget() override { return this; }
  };

  // Folder `rest` with one message per (from, subject).
  CDirDoc* Folder(const std::string& rest, const std::vector<std::pair<std::string, std::string>>& messages) {
    MakeFolder(rest);
    int n = 0;
    for (const auto& [from, subject] : messages) {
      char name[32];
      std::snprintf(name, sizeof name, "/msg%04d.mai", ++n);
      Write(rest + name, MessageText(from, subject));
    }
    return Open(rest);
  }
  static void Click(CDirView* view, int row, bool twice = false) {
    const QPointF at(5, row * view->layout().rowHeight + 1 - view->verticalScrollBar()->value());
    QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &release);
    if (!twice) return;
    QMouseEvent second(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &second);
  }
};

TEST_F(FolderView, AnEmptyFolderStillScrollsFourRowsAndOffersNoFindOrPrint) {
  CDirDoc* doc = Folder("empty", {});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  ASSERT_NE(view, nullptr);
  EXPECT_GT(view->layout().rowHeight, 0);
  EXPECT_EQ(view->scrollSizes().total.height(), 4 * view->layout().rowHeight);
  for (int id : {fw::kEditFind, fw::kEditRepeat, fw::kFilePrint, fw::kFilePrintPreview, kCmdMove, kCmdDelete}) {
    EXPECT_FALSE(Enabled(*view, id)) << id;
  }
}

TEST_F(FolderView, ColumnsFitTheirWidestTextsInOrder) {
  const std::string longSubject(120, 'W');
  const std::string longSender = "ANN.LONGNAME.OF.THE.ACCOUNTS.DEPARTMENT@EXAMPLE.ORG";
  CDirDoc* doc = Folder("work", {{"SMITH", "short"}, {longSender, longSubject}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  const DirLayout& l = view->layout();
  const QFontMetrics metrics(*app_.displayFont());
  const int x = metrics.horizontalAdvance('X');
  EXPECT_EQ(l.rowHeight, std::max(metrics.height() + std::max(metrics.leading(), 0), view->pictures().imageHeight));
  EXPECT_EQ(l.number.left(), x / 2);
  EXPECT_EQ(l.number.width(), metrics.horizontalAdvance("Msg"));
  EXPECT_EQ(l.icon.left(), l.number.left() + l.number.width() + x);
  EXPECT_EQ(l.icon.width(), view->pictures().imageWidth);
  EXPECT_EQ(l.date.left(), l.icon.left() + l.icon.width() + 2 * x);
  EXPECT_GE(l.date.width(), 4 * x);
  EXPECT_EQ(l.time.left(), l.date.left() + l.date.width() + x);
  EXPECT_EQ(l.from.left(), l.time.left() + l.time.width() + 2 * x);
  EXPECT_EQ(l.from.width(), metrics.horizontalAdvance(QString::fromStdString(longSender)));
  EXPECT_EQ(l.subject.left(), l.from.left() + l.from.width() + 2 * x);
  EXPECT_EQ(l.subject.width(), metrics.horizontalAdvance(QString::fromStdString(longSubject)));
  EXPECT_EQ(l.row.width(), l.subject.left() + l.subject.width() + x / 2);
  EXPECT_EQ(view->scrollSizes().page.height(), 10 * l.rowHeight);
  // The header labels stand at the number, date, sender and subject columns.
  CDirFrame* frame = FrameOf(doc);
  ASSERT_NE(frame, nullptr);
  const int want[] = {l.number.left(), l.date.left(), l.from.left(), l.subject.left()};
  for (int i = 0; i < HeaderBar::kLabelCount; ++i) EXPECT_EQ(frame->headerBar()->label(i)->x(), want[i]) << i;
}

TEST(FolderLayout, EachColumnAsWideAsItsWidestTextInAnyFont) {
  const std::vector<std::vector<QString>> subjectSets = {
      {QString(60, 'i'), QString(40, 'W'), "short"},  // the longest text is not the widest
      {QString(70, 'l'), QString(69, 'm')},
      {"same", "same", "same", QString(50, 'W')},
      {QString(40, 'x'), QString("\x01\x02\x03").repeated(5)},  // control characters
  };
  for (const char* family : {"DejaVu Sans", "DejaVu Sans Mono", "DejaVu Serif"}) {
    QFont font(family);
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    for (const auto& subjects : subjectSets) {
      std::vector<RowTexts> rows;
      int want = 32 * metrics.horizontalAdvance('X');
      for (const QString& subject : subjects) {
        RowTexts texts;
        texts.subject = subject;
        rows.push_back(texts);
        want = std::max(want, metrics.horizontalAdvance(subject));
      }
      const DirLayout layout = ComputeDirLayout(metrics, rows, false, QSize(16, 12));
      EXPECT_EQ(layout.subject.width(), want) << family << ", first text " << subjects[0].toStdString();
    }
  }
}

TEST(FolderLayout, TheFrameShrinksButNeverGrows) {
  const QSize bars(15, 14);
  const struct {
    const char* what;
    QSize frame, view, total, want;
  } rows[] = {
      {"list smaller both ways", {600, 400}, {580, 360}, {300, 100}, {320, 140}},
      {"list larger both ways", {300, 200}, {280, 160}, {900, 900}, {300, 200}},
      {"too wide: the horizontal bar's room is kept", {300, 400}, {280, 360}, {900, 100}, {300, 154}},
      {"too high: the vertical bar's room is kept", {600, 200}, {580, 160}, {300, 900}, {335, 200}},
      {"exactly fitting", {320, 140}, {300, 100}, {300, 100}, {320, 140}},
  };
  for (const auto& row : rows) {
    const QSize got = FrameSizeToFit(row.frame, row.view, row.total, bars);
    EXPECT_EQ(got, row.want) << row.what << ": got " << got.width() << "x" << got.height();
  }
}

TEST_F(FolderView, TheFrameShrinksToFitASmallList) {
  CDirDoc* doc = Folder("work", {{"A", "1"}, {"B", "2"}});
  ASSERT_NE(doc, nullptr);
  ProcessEvents();
  CDirView* view = ViewOf(doc);
  // Four rows high (the least a list takes); as wide as the frame allows.
  EXPECT_EQ(view->viewport()->height(), view->scrollSizes().total.height());
  EXPECT_LE(view->viewport()->width(), view->scrollSizes().total.width());
}

TEST_F(FolderView, ClicksSelectLiveLinesOnly) {
  CDirDoc* doc = Folder("work", {{"A", "1"}, {"B", "2"}, {"C", "3"}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  ASSERT_EQ(app_.DeleteMessage(Mail("work/msg0003.mai"), false), 0);
  const struct {
    const char* what;
    int row;
    int want;
  } steps[] = {
      {"a live line", 1, 1},      {"the same line again", 1, -1}, {"another line", 0, 0},
      {"a grey line", 2, -1},     {"a line", 1, 1},              {"below the list", 7, -1},
  };
  for (const auto& step : steps) {
    Click(view, step.row);
    EXPECT_EQ(view->selection(), step.want) << step.what;
  }
}

TEST_F(FolderView, ADoubleClickOpensTheMessageAndClearsTheSelection) {
  CDirDoc* doc = Folder("work", {{"A", "1"}, {"B", "2"}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  Click(view, 1, true);
  EXPECT_EQ(view->selection(), -1);
  fw::Document* message = app_.FindOpenDocument(Mail("work/msg0002.mai"));
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(doc->GetEntry(1).state, kEntryOpen);
  // Opening it again brings the same window back.
  Click(view, 1, true);
  EXPECT_EQ(app_.messageTemplate()->documents().size(), 1u);
  message->OnCloseDocument();
  EXPECT_EQ(doc->GetEntry(1).state, kEntrySeen);
}

TEST_F(FolderView, DeleteAndMoveActOnTheSelectedMessage) {
  CDirDoc* doc = Folder("work", {{"A", "1"}, {"B", "2"}, {"C", "3"}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  view->Select(0);
  ASSERT_TRUE(Enabled(*view, kCmdDelete));
  view->Dispatch(kCmdDelete);
  EXPECT_EQ(doc->GetEntry(0).state, kEntryDeleted);
  EXPECT_EQ(view->selection(), -1);
  EXPECT_FALSE(Enabled(*view, kCmdDelete));

  // A destination that does not exist keeps the selection.
  view->Select(1);
  AnswerDestinationDialog("nowhere", false);
  view->Dispatch(kCmdMove);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{Report("Destination folder \"%s\" does not exist.", "nowhere")});
  EXPECT_EQ(view->selection(), 1);
  AnswerDestinationDialog("archive", true);
  view->Dispatch(kCmdMove);
  EXPECT_EQ(doc->GetEntry(1).state, kEntryMoved);
  EXPECT_EQ(view->selection(), -1);
  EXPECT_TRUE(fs::exists(Mail("archive")));

  // In "deleted" a message can be moved out but not deleted again.
  CDirDoc* deleted = Open("deleted");
  ASSERT_NE(deleted, nullptr);
  CDirView* deletedView = ViewOf(deleted);
  deletedView->Select(0);
  EXPECT_FALSE(Enabled(*deletedView, kCmdDelete));
  EXPECT_TRUE(Enabled(*deletedView, kCmdMove));
}

TEST_F(FolderView, ARefreshThatPutsAnotherMessageOnTheSelectedLineClearsIt) {
  CDirDoc* doc = Folder("work", {{"A", "1"}, {"B", "2"}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  view->Select(1);
  doc->Refresh();
  EXPECT_EQ(view->selection(), 1);  // the same message
  fs::remove(Mail("work/msg0001.mai"));
  doc->Refresh();
  EXPECT_EQ(view->selection(), -1);  // msg0002 moved up; line 1 is gone
}

TEST_F(FolderView, FindEntryWalksLiveLinesInTheDirectionAsked) {
  CDirDoc* doc = Folder("find", {{"NODE::SMITH", "Lunch on Friday"},
                                 {"NODE::JONES", "budget"},
                                 {"NODE::SMITHERS", "Re: lunch"},
                                 {"NODE::BROWN", "smith's report"}});
  ASSERT_NE(doc, nullptr);
  const struct {
    const char* what;
    const char* text;
    bool down, matchCase;
    int matchIn, selection, want;
  } rows[] = {
      {"lower case finds capitals", "smith", true, false, kMatchInFrom, -1, 0},
      {"from the selection on", "smith", true, false, kMatchInFrom, 0, 2},
      {"match case refuses", "smith", true, true, kMatchInFrom, -1, -1},
      {"match case accepts", "SMITH", true, true, kMatchInFrom, -1, 0},
      {"subjects", "lunch", true, false, kMatchInSubject, -1, 0},
      {"subjects with case", "lunch", true, true, kMatchInSubject, -1, 2},
      {"up from the end", "lunch", false, false, kMatchInSubject, -1, 2},
      {"up from a selection", "lunch", false, false, kMatchInSubject, 2, 0},
      {"no wrap-around down", "lunch", true, false, kMatchInSubject, 3, -1},
      {"no wrap-around up", "budget", false, false, kMatchInSubject, 0, -1},
      {"neither field", "smith", true, false, 0, -1, -1},
      {"anywhere in the text", "'s rep", true, false, kMatchInSubject, -1, 3},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FindEntry(*doc, row.text, row.down, row.matchCase, row.matchIn, row.selection), row.want) << row.what;
  }
  ASSERT_EQ(app_.DeleteMessage(Mail("find/msg0001.mai"), false), 0);
  EXPECT_EQ(FindEntry(*doc, "smith", true, false, kMatchInFrom, -1), 2) << "grey lines are passed over";
  EXPECT_EQ(LowerCase("\xC4RGER \xD7 \xDE"), "\xE4rger \xD7 \xFE");
}

TEST_F(FolderView, ASearchThatFailsClearsTheSelectionAndTheNextStartsAgain) {
  CDirDoc* doc = Folder("find", {{"SMITH", "a"}, {"JONES", "b"}, {"SMITH", "c"}});
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  FindState& find = SharedFindState();
  find.findWhat = "smith";
  find.matchIn = kMatchInFrom;
  find.searchDown = true;
  find.matchCase = false;
  ASSERT_TRUE(Enabled(*view, fw::kEditRepeat));
  view->Select(2);
  view->Dispatch(fw::kEditRepeat);
  EXPECT_EQ(view->selection(), -1);
  view->Dispatch(fw::kEditRepeat);
  EXPECT_EQ(view->selection(), 0);
  view->Dispatch(fw::kEditRepeat);
  EXPECT_EQ(view->selection(), 2);
  find.findWhat.clear();
  EXPECT_FALSE(Enabled(*view, fw::kEditRepeat));
}

TEST_F(FolderView, AMatchOutOfSightIsScrolledIntoView) {
  std::vector<std::pair<std::string, std::string>> messages(40, {"SOMEONE", "filler"});
  for (int row : {2, 20, 30}) messages[static_cast<std::size_t>(row)].second = "target";
  CDirDoc* doc = Folder("long", messages);
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  const int h = view->layout().rowHeight;
  fw::ChildFrame* frame = view->frame();
  frame->resize(frame->width(), 10 * h);
  ProcessEvents();
  const int shown = view->viewport()->height();
  ASSERT_GT(shown, 3 * h);
  ASSERT_LT(shown, 9 * h);
  QScrollBar* bar = view->verticalScrollBar();
  const struct {
    bool down;
    int row;
    int scroll;
  } steps[] = {
      {true, 2, 0},                  // in sight already: no scrolling
      {true, 20, 20 * h},            // searching down the match comes to the top
      {true, 30, 30 * h},
      {false, 20, 21 * h - shown},   // searching up, to the bottom
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(view->Search("target", step.down, false, kMatchInSubject)) << step.row;
    EXPECT_EQ(view->selection(), step.row);
    EXPECT_EQ(bar->value(), step.scroll) << step.row;
    if (step.row == 30) bar->setValue(bar->maximum());
  }
}

TEST_F(FolderView, TheFindDialogSharesOneStateBetweenWindows) {
  CDirDoc* doc = Folder("find", {{"SMITH", "alpha"}, {"JONES", "beta"}, {"BROWN", "ALPHA two"}});
  CDirDoc* other = Folder("other", {{"X", "alpha"}});
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(other, nullptr);
  CDirView* view = ViewOf(doc);
  FindState& find = SharedFindState();
  find = FindState{};
  find.findWhat = "alp";

  view->Dispatch(fw::kEditFind);
  auto* dialog = dynamic_cast<CFindDialog*>(find.findDialog.data());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Find in Folder");
  EXPECT_EQ(dialog->textBox()->text(), "alp");
  EXPECT_TRUE(dialog->subjectButton()->isChecked());
  EXPECT_FALSE(dialog->matchCaseBox()->isChecked());
  EXPECT_FALSE(dialog->upButton()->isChecked());

  dialog->textBox()->setText("Alpha");
  dialog->matchCaseBox()->setChecked(false);
  dialog->PressFindNext();
  EXPECT_EQ(view->selection(), 0);
  dialog->PressFindNext();
  EXPECT_EQ(view->selection(), 2);
  EXPECT_EQ(find.findWhat, "Alpha");
  EXPECT_EQ(find.matchIn, kMatchInSubject);

  // Find in another window brings the same dialog back; Find Next there uses the
  // shared text.
  ViewOf(other)->Dispatch(fw::kEditFind);
  EXPECT_EQ(find.findDialog.data(), dialog);
  ViewOf(other)->Dispatch(fw::kEditRepeat);
  EXPECT_EQ(ViewOf(other)->selection(), 0);

  dialog->fromButton()->setChecked(true);
  dialog->PressFindNext();  // searches the window that opened the dialog
  EXPECT_EQ(find.matchIn, kMatchInFrom);
  EXPECT_EQ(view->selection(), -1);

  dialog->close();
  ProcessEvents();
  EXPECT_TRUE(find.findDialog.isNull());
  find = FindState{};
}

TEST_F(FolderView, TheColumnHeaderBarFollowsTheSettingAndItsCommand) {
  Preferences p = app_.preferences();
  p.columnHeaders = false;
  app_.SetPreferences(p);
  CDirDoc* doc = Folder("work", {{"A", "1"}});
  ASSERT_NE(doc, nullptr);
  CDirFrame* frame = FrameOf(doc);
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(frame->headersVisible());
  fw::CommandState state;
  ASSERT_TRUE(frame->QueryState(kCmdColumnHeadings, &state));
  EXPECT_FALSE(state.checked);
  frame->Dispatch(kCmdColumnHeadings);
  EXPECT_TRUE(frame->headersVisible());
  ASSERT_TRUE(frame->QueryState(kCmdColumnHeadings, &state));
  EXPECT_TRUE(state.checked);
  frame->Dispatch(kCmdColumnHeadings);
  EXPECT_FALSE(frame->headersVisible());
  // The command reaches the frame from the menu of the active folder window.
  app_.mainFrame()->UpdateCommandUi();
  EXPECT_TRUE(app_.mainFrame()->router().State(kCmdColumnHeadings).enabled);
}

TEST_F(FolderView, AFontChangeLaysEveryFolderListOutAgain) {
  CDirDoc* doc = Folder("work", {{"SMITH", "one"}});
  CDirDoc* other = Folder("other", {{"JONES", "two"}});
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(other, nullptr);
  const int before = ViewOf(doc)->layout().rowHeight;
  LogFont big = app_.logFont();
  big.height = -40;
  ASSERT_TRUE(app_.ApplyChosenFont(big));
  for (CDirDoc* each : {doc, other}) {
    const DirLayout& l = ViewOf(each)->layout();
    EXPECT_GT(l.rowHeight, before);
    EXPECT_EQ(FrameOf(each)->headerBar()->label(3)->x(), l.subject.left());
  }
}

TEST_F(FolderView, ScreenshotOfAFolderInUse) {
  CDirDoc* doc = Folder("work", {{"NODEA::SMITH (John Smith)", "Lunch on Friday"},
                                 {"NODEB::JONES", "Budget figures for the third quarter"},
                                 {"GATE::\"ann@example.org\"", "Re: the new printer"},
                                 {"NODEA::BROWN", "Minutes of Tuesday's meeting"},
                                 {"NODEC::GREEN", "Holiday rota"},
                                 {"NODEA::WHITE", "Fire drill at 3 pm"},
                                 {"", "No sender at all"},
                                 {"NODEB::BLACK", ""},
                                 {"NODEA::SMITH", "Fwd: conference"},
                                 {"NODED::GREY", "Old news"},
                                 {"NODEA::KING", "Parking"}});
  ASSERT_NE(doc, nullptr);
  Write("work/msg0012.mai", "");
  doc->Refresh();
  ASSERT_EQ(doc->count(), 12);
  ASSERT_EQ(app_.DeleteMessage(Mail("work/msg0004.mai"), false), 0);
  ASSERT_EQ(app_.MoveMessage(Mail("work/msg0010.mai"), "archive", true, false), 0);
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("work/msg0002.mai").c_str()));
  doc->MarkEntryOpen(Mail("work/msg0002.mai"), true);
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("work/msg0005.mai").c_str()));
  doc->MarkEntryOpen(Mail("work/msg0005.mai"), true);
  app_.FindOpenDocument(Mail("work/msg0005.mai"))->OnCloseDocument();
  ProcessEvents();
  CDirView* view = ViewOf(doc);
  view->Select(2);
  fw::ChildFrame* frame = view->frame();
  frame->ActivateFrame(fw::SW_SHOWMAXIMIZED);
  app_.mainWindow()->resize(900, 420);
  ProcessEvents();

  const QImage shot = app_.mainWindow()->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  shot.save(PELLAM_BINARY_DIR "/folder_window.png");
  // The selected line is drawn highlighted, a grey line on the window colour.
  const QImage list = view->viewport()->grab().toImage();
  const int h = view->layout().rowHeight;
  const DirColours colours = DirColoursOf(view->palette());
  const int x = view->layout().icon.left() + view->layout().icon.width() + 1;  // between picture and date
  EXPECT_EQ(QColor(list.pixel(x, 2 * h + h / 2)), colours.highlight);
  EXPECT_EQ(QColor(list.pixel(x, 3 * h + h / 2)), colours.window);
  EXPECT_EQ(doc->GetEntry(1).state, kEntryOpen);
  EXPECT_EQ(doc->GetEntry(3).state, kEntryDeleted);
  EXPECT_EQ(doc->GetEntry(4).state, kEntrySeen);
  EXPECT_EQ(doc->GetEntry(9).state, kEntryMoved);
}

}  // namespace
}  // namespace pelldesk::test
