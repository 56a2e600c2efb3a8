// The framework layer driven on its own, without any mail code: command routing with
// enable and check state, documents opened and closed through templates, update hints,
// menus by window kind, panes, profile values, message boxes and property sheets.
#include <QDialogButtonBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <thread>

#include "client_test_support.h"
#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/command_router.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/gui_dispatcher.h"
#include "framework/mdi_frame.h"
#include "framework/profile.h"
#include "framework/property_sheet.h"
#include "framework/text.h"
#include "framework/view.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"

namespace pelldesk::test {
namespace {

constexpr int kDocCommand = 40001;   // handled by the note document
constexpr int kViewCommand = 40002;  // handled by the note view and by the application
constexpr int kAppCommand = 40003;   // handled by the application only
constexpr int kUnknown = 40004;      // handled by nobody
constexpr int kPane = 40005;         // a pane whose rule belongs to the document
constexpr int kDefaultMenu = 1;
constexpr int kNoteMenu = 2;

class NoteDoc : public fw::Document {
 public:
  NoteDoc() {
    OnCommand(
        kDocCommand, [this] { ++runs; },
        [this](fw::CommandState& state) {
          state.enabled = enabled;
          state.checked = checked;
        });
    OnUpdate(kPane, [this](fw::CommandState& state) {
      state.enabled = enabled;
      state.text = title();
    });
  }
  bool OnOpenDocument(const std::string& path) override { return path.find("refuse") == std::string::npos; }
  bool OnSaveDocument(const std::string& path) override {
    saved_to = path;
    return save_works;
  }
  int runs = 0;
  bool enabled = true;
  bool checked = false;
  bool save_works = true;
  std::string saved_to;
};

class NoteView : public QLabel, public fw::View {
 public:
  NoteView() {
    OnCommand(kViewCommand, [this] { ++view_runs; });
    OnCommand(32789, [this] { ++font_changes; });
  }
  QWidget* widget() override { return this; }
  void OnUpdate(fw::View*, long hint, const std::string* text) override {
    hints.push_back(hint);
    if (text != nullptr) texts.push_back(*text);
  }
  std::vector<long> hints;
  std::vector<std::string> texts;
  int view_runs = 0;
  int font_changes = 0;
};

fw::UiResources TestResources() {
  fw::UiResources r;
  r.commands = {{kDocCommand, "&Doc", "Doc prompt\nDoc"},
                {kViewCommand, "&View", nullptr},
                {kAppCommand, "&App\tCtrl+K", nullptr},
                {kUnknown, "&Nobody", nullptr}};
  r.accelerators = {{"Ctrl+K", kAppCommand}};
  r.menus = {{kDefaultMenu, {{"&File", {kAppCommand, 0, kUnknown}}}},
             {kNoteMenu, {{"&File", {kAppCommand}}, {"&Note", {kDocCommand, kViewCommand}}}}};
  return r;
}

class FrameworkApp : public fw::Application {
 public:
  FrameworkApp() : fw::Application("Frametest", "Corwent") {
    OnCommand(kAppCommand, [this] { ++app_runs; });
    OnCommand(kViewCommand, [this] { ++app_view_runs; });
    notes = AddDocTemplate(std::make_unique<fw::DocTemplate>(
        7, kNoteMenu, 129, "\nNote\nNote\nNotes (*.note)\n.note\nTest.Note\nTest Note",
        fw::DocumentKind{[] { return std::make_unique<NoteDoc>(); }, nullptr,
                         [] { return new NoteView; }}));
  }
  ~FrameworkApp() override { DestroyMainFrame(); }
  bool InitInstance() override {
    frame = new fw::MdiFrame(*this, TestResources(), kDefaultMenu);
    SetMainFrame(frame);
    frame->SetIndicators({{0, "Ready"}, {kPane, "XXXXXXXX"}});
    ShowMainWindow(fw::SW_SHOWNORMAL);
    return true;
  }
  fw::MdiFrame* frame = nullptr;
  fw::DocTemplate* notes = nullptr;
  int app_runs = 0;
  int app_view_runs = 0;
};

NoteDoc* OpenNote(FrameworkApp& app, const char* path = nullptr) {
  auto* doc = static_cast<NoteDoc*>(app.notes->OpenDocumentFile(path));
  ProcessEvents();
  return doc;
}

NoteView* ViewOf(fw::Document* doc) { return static_cast<NoteView*>(doc->views().front()); }

TEST(CommandRouter, FirstTargetOfTheChainOwnsTheCommand) {
  fw::CommandTarget view, doc, app;
  int ran = 0;
  view.OnCommand(1, [&] { ran = 10; });
  doc.OnCommand(1, [&] { ran = 20; });
  doc.OnCommand(2, [&] { ran = 21; }, [](fw::CommandState& s) { s.checked = true; });
  doc.OnCommand(3, [&] { ran = 22; }, [](fw::CommandState& s) { s.enabled = false; });
  app.OnCommand(4, [&] { ran = 30; });
  app.OnUpdate(5, [](fw::CommandState& s) { s.text = "pane"; });
  fw::CommandRouter router([&] { return std::vector<fw::CommandTarget*>{&view, &doc, &app}; });

  struct Row {
    int id;
    bool enabled;
    bool checked;
    int ran_after_execute;  // 0: no handler ran
  } rows[] = {{1, true, false, 10}, {2, true, true, 21}, {3, false, false, 0},
              {4, true, false, 30}, {5, true, false, 0}, {6, false, false, 0}};
  for (const Row& row : rows) {
    ran = 0;
    fw::CommandState state = router.State(row.id);
    router.Execute(row.id);
    EXPECT_EQ(state.enabled, row.enabled) << "command " << row.id;
    EXPECT_EQ(state.checked, row.checked) << "command " << row.id;
    EXPECT_EQ(ran, row.ran_after_execute) << "command " << row.id;
  }
  EXPECT_EQ(router.State(5).text.value_or(""), "pane");
}

TEST(Framework, DocumentsOpenThroughTheirTemplateAndRouteFromTheActiveView) {
  FrameworkApp app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.frame->shownMenu(), kDefaultMenu);
  EXPECT_FALSE(app.frame->router().State(kDocCommand).enabled) << "no document: disabled";
  EXPECT_FALSE(app.frame->router().State(kUnknown).enabled);

  NoteDoc* first = OpenNote(app);
  NoteDoc* second = OpenNote(app);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->title(), "Note1");
  EXPECT_EQ(second->title(), "Note2");
  EXPECT_EQ(app.frame->Children().size(), 2u);
  EXPECT_EQ(app.frame->shownMenu(), kNoteMenu) << "the active window's kind picks the menu";
  EXPECT_EQ(ViewOf(first)->hints, std::vector<long>{0}) << "the initial update";

  // The second note is active: its rules decide, its handler runs.
  second->enabled = false;
  first->checked = true;
  EXPECT_FALSE(app.frame->router().State(kDocCommand).enabled);
  EXPECT_FALSE(app.frame->router().Execute(kDocCommand));
  ViewOf(first)->frame()->ActivateFrame();
  ProcessEvents();
  fw::CommandState state = app.frame->router().State(kDocCommand);
  EXPECT_TRUE(state.enabled);
  EXPECT_TRUE(state.checked);
  app.frame->router().Execute(kDocCommand);
  EXPECT_EQ(first->runs, 1);
  EXPECT_EQ(second->runs, 0);

  // The view comes before the application for a command both handle.
  app.frame->router().Execute(kViewCommand);
  EXPECT_EQ(ViewOf(first)->view_runs, 1);
  EXPECT_EQ(app.app_view_runs, 0);

  // Actions follow the router: disabled commands are disabled actions, checks show.
  app.frame->UpdateCommandUi();
  EXPECT_TRUE(app.frame->Action(kDocCommand)->isEnabled());
  EXPECT_TRUE(app.frame->Action(kDocCommand)->isChecked());
  EXPECT_FALSE(app.frame->Action(kUnknown)->isEnabled());
  EXPECT_EQ(app.frame->Action(kDocCommand)->statusTip().toStdString(), "Doc prompt");
  EXPECT_EQ(app.frame->Action(kDocCommand)->toolTip().toStdString(), "Doc");
  EXPECT_EQ(app.frame->Action(kAppCommand)->shortcut().toString().toStdString(), "Ctrl+K");

  // A pane shows its text only while its rule enables it.
  EXPECT_EQ(app.frame->PaneText(kPane), "Note1");
  first->enabled = false;
  app.frame->UpdateCommandUi();
  EXPECT_EQ(app.frame->PaneText(kPane), "");

  // The Font Change broadcast reaches each view once.
  app.frame->SendToDescendants(32789);
  EXPECT_EQ(ViewOf(first)->font_changes, 1);
  EXPECT_EQ(ViewOf(second)->font_changes, 1);

  // Closing both windows brings back the default menu.
  ViewOf(first)->frame()->close();
  ViewOf(second)->frame()->close();
  ProcessEvents();
  EXPECT_TRUE(app.notes->documents().empty());
  EXPECT_TRUE(app.frame->Children().empty());
  EXPECT_EQ(app.frame->shownMenu(), kDefaultMenu);
}

TEST(Framework, ARefusedOpenLeavesNoDocumentAndNoWindow) {
  FrameworkApp app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(OpenNote(app, "/tmp/refuse.note"), nullptr);
  EXPECT_TRUE(app.notes->documents().empty());
  EXPECT_TRUE(app.frame->Children().empty());

  NoteDoc* opened = OpenNote(app, "/tmp/some/dir/../letter.note");
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->pathName(), "/tmp/some/letter.note") << "the path name is made full";
  EXPECT_EQ(opened->title(), "letter.note");
  EXPECT_EQ(app.OpenDocumentFile("/TMP/SOME/LETTER.NOTE"), opened) << "found, not opened twice";
  EXPECT_EQ(app.notes->documents().size(), 1u);
}

TEST(Framework, ClosingAModifiedDocumentAsksToSave) {
  struct Row {
    int answer;
    bool save_works;
    bool closed;
  } rows[] = {{fw::IDYES, true, true},
              {fw::IDYES, false, false},
              {fw::IDNO, true, true},
              {fw::IDCANCEL, true, false}};
  for (const Row& row : rows) {
    FrameworkApp app;
    ASSERT_TRUE(app.InitInstance());
    NoteDoc* doc = OpenNote(app, "/tmp/a.note");
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag();
    doc->save_works = row.save_works;
    MessageBoxRecorder boxes(row.answer);
    ViewOf(doc)->frame()->close();
    ProcessEvents();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Save changes to /tmp/a.note?");
    EXPECT_EQ(boxes.boxes()[0].style, fw::MB_YESNOCANCEL | fw::MB_ICONEXCLAMATION);
    EXPECT_EQ(app.notes->documents().empty(), row.closed)
        << "answer " << row.answer << ", save works " << row.save_works;
    if (!row.closed) {
      EXPECT_EQ(app.frame->Children().size(), 1u);
    }
  }
}

TEST(Framework, UpdateHintsReachEveryViewButTheSender) {
  fw::Document doc;  // no template: its views are managed by hand
  NoteView one, two;
  doc.AddView(&one);
  doc.AddView(&two);
  const std::string body = "quoted";
  doc.UpdateAllViews(&one, 5, &body);
  EXPECT_TRUE(one.hints.empty());
  EXPECT_EQ(two.hints, std::vector<long>{5});
  EXPECT_EQ(two.texts, std::vector<std::string>{"quoted"});
  doc.RemoveView(&one);
  doc.RemoveView(&two);
  EXPECT_EQ(one.document(), nullptr);
}

TEST(Framework, DocumentStringsAndFileMatching) {
  fw::DocTemplate t(129, 129, 129, "\nSend\nSend\nMail Messages (*.mai)\n.mai\nPellam.Msg\nPellam Message File", {});
  using P = fw::DocTemplate::DocString;
  EXPECT_EQ(t.GetDocString(P::WindowTitle), "");
  EXPECT_EQ(t.GetDocString(P::DocName), "Send");
  EXPECT_EQ(t.GetDocString(P::FilterName), "Mail Messages (*.mai)");
  EXPECT_EQ(t.GetDocString(P::FilterExt), ".mai");
  EXPECT_EQ(t.GetDocString(P::RegFileTypeName), "Pellam Message File");
  EXPECT_TRUE(t.MatchesFile("/home/ann/mail/new/MSG0001.MAI"));
  EXPECT_FALSE(t.MatchesFile("/home/ann/mail/new/msg0001.txt"));
  EXPECT_FALSE(t.HasDocumentKind());
  fw::DocTemplate folders(130, 130, 130, "\nDirectory\nDirectory\nMail Directories\n.\nPellam.Dir\nx", {});
  EXPECT_FALSE(folders.MatchesFile("/home/ann/mail/main.")) << "the extension \".\" matches nothing";
}

TEST(Framework, BarTogglesAreCheckedWhileTheBarShows) {
  FrameworkApp app;
  ASSERT_TRUE(app.InitInstance());
  QPixmap strip(16 * 2, 15);
  strip.fill(Qt::gray);
  QToolBar* bar = app.frame->CreateToolBar(59392, {kDocCommand, 0, kAppCommand}, strip, QSize(16, 15));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->actions().size(), 3);
  EXPECT_EQ(app.frame->CreateToolBar(59400, {kDocCommand, kAppCommand, kUnknown}, strip, QSize(16, 15)),
            nullptr)
      << "a strip too short for its buttons makes no bar";
  EXPECT_TRUE(app.frame->router().State(59392).checked);
  app.frame->router().Execute(59392);
  EXPECT_FALSE(bar->isVisibleTo(app.frame));
  EXPECT_FALSE(app.frame->router().State(59392).checked);
  EXPECT_TRUE(app.frame->router().State(59393).checked);
  EXPECT_FALSE(app.frame->router().State(57650).enabled) << "window commands need a window";
}

TEST(Profile, ValuesRoundTripBySectionAndName) {
  ClientSandbox sandbox;
  fw::Profile profile("Corwent", "Pelldesk");
  EXPECT_EQ(profile.baseKey(), "Software\\Corwent\\Pelldesk");
  EXPECT_EQ(profile.GetInt("Settings", "Beep", 7), 7) << "missing: the default";
  EXPECT_EQ(profile.GetString("Settings", "BeepFile", "none"), "none");
  ASSERT_EQ(profile.WriteInt("Settings", "Beep", -2), 0u);
  ASSERT_EQ(profile.WriteString("Settings", "BeepFile", "/snd/\xe9t\xe9.wav"), 0u);
  EXPECT_EQ(profile.GetInt("settings", "beep", 7), -2) << "names ignore case";
  EXPECT_EQ(profile.GetString("Settings", "BeepFile"), "/snd/\xe9t\xe9.wav");
  EXPECT_EQ(profile.GetInt("Settings", "BeepFile", 3), 3) << "a text read as a number";
  EXPECT_EQ(profile.GetString("Settings", "Beep", "d"), "d") << "a number read as a text";

  platform::fault::Scope faults;
  platform::fault::FailNth(platform::fault::Op::RegWrite, 1, ERROR_ACCESS_DENIED, true);
  EXPECT_EQ(profile.WriteInt("Settings", "Beep", 1), ERROR_ACCESS_DENIED);
  platform::fault::Clear();
  platform::fault::FailNth(platform::fault::Op::RegRead, 1, ERROR_BADDB, true);
  EXPECT_EQ(profile.GetInt("Settings", "Beep", 9), 9) << "an unreadable store gives the default";
}

TEST(MessageBoxes, OtherThreadsAreAnsweredOnTheUserInterfaceThread) {
  MessageBoxRecorder boxes(fw::IDNO);
  QThread* ui_thread = QThread::currentThread();
  QThread* answered_on = nullptr;
  fw::MessageBoxFunction record = fw::SetMessageBoxFunction({});
  fw::SetMessageBoxFunction([&](const std::string& text, unsigned style) {
    answered_on = QThread::currentThread();
    return record(text, style);
  });
  int answer = 0;
  std::thread worker([&] { answer = fw::ShowMessageBox("from a worker", fw::MB_YESNO); });
  EXPECT_TRUE(WaitUntil([&] { return answer != 0; }));
  worker.join();
  EXPECT_EQ(answer, fw::IDNO);
  EXPECT_EQ(answered_on, ui_thread);
  fw::SetMessageBoxFunction(record);

  // Once the run is ending, a worker's box returns at once without being shown.
  fw::GuiDispatcher::Instance().Close();
  std::thread late([&] { answer = fw::ShowMessageBox("too late", fw::MB_OK); });
  late.join();
  fw::GuiDispatcher::Instance().Open();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(boxes.count(), 1u);
}

class TestPage : public fw::PropertyPage {
 public:
  explicit TestPage(std::string caption) : fw::PropertyPage(std::move(caption)) {}
  void OnInitDialog() override { ++inits; }
  bool OnKillActive() override { return may_leave; }
  void OnOK() override { ++oks; }
  int inits = 0;
  int oks = 0;
  bool may_leave = true;
};

TEST(PropertySheet, OkAsksTheActivePageAndConfirmsTheShownPages) {
  fw::PropertySheet sheet("Settings", nullptr);
  auto* first = new TestPage("First");
  auto* second = new TestPage("Second");
  sheet.AddPage(first);
  sheet.AddPage(second);
  first->may_leave = false;
  int result = 0;
  QTimer::singleShot(0, [&] {
    auto* tabs = sheet.findChild<QTabWidget*>();
    tabs->setCurrentIndex(1);  // refused: the first page keeps the user
    EXPECT_EQ(tabs->currentIndex(), 0);
    sheet.buttons()->button(QDialogButtonBox::Ok)->click();  // refused as well
    EXPECT_TRUE(sheet.isVisible());
    first->may_leave = true;
    sheet.buttons()->button(QDialogButtonBox::Ok)->click();
  });
  result = sheet.DoModal();
  EXPECT_EQ(result, fw::IDOK);
  EXPECT_EQ(first->inits, 1);
  EXPECT_EQ(first->oks, 1);
  EXPECT_EQ(second->inits, 0) << "never shown";
  EXPECT_EQ(second->oks, 0);
}

// Records which page the sheet shows while a page is asked to let go and while the
// next one is built.
class WatchedPage : public fw::PropertyPage {
 public:
  WatchedPage(std::string caption, QTabWidget** tabs) : fw::PropertyPage(std::move(caption)), tabs_(tabs) {}
  void OnInitDialog() override { shownWhileBuilt = (*tabs_)->currentWidget(); }
  bool OnKillActive() override {
    shownWhileAsked = (*tabs_)->currentWidget();
    return true;
  }
  QWidget* shownWhileBuilt = nullptr;
  QWidget* shownWhileAsked = nullptr;

 private:
  QTabWidget** tabs_;
};

TEST(PropertySheet, TheNextPageShowsOnlyOnceTheLastHasLetGoAndItIsBuilt) {
  fw::PropertySheet sheet("Settings", nullptr);
  QTabWidget* tabs = sheet.findChild<QTabWidget*>();
  auto* first = new WatchedPage("First", &tabs);
  auto* second = new WatchedPage("Second", &tabs);
  sheet.AddPage(first);
  sheet.AddPage(second);
  QTimer::singleShot(0, [&] {
    tabs->setCurrentIndex(1);  // as a click on the tab
    EXPECT_EQ(tabs->currentIndex(), 1);
    sheet.reject();
  });
  sheet.DoModal();
  EXPECT_EQ(first->shownWhileAsked, first) << "the page asked stays in view while it asks";
  EXPECT_NE(second->shownWhileBuilt, second) << "a page is built before it is shown";
  EXPECT_EQ(sheet.activePage(), second);
}

TEST(WidgetText, Iso88591RoundTripsEveryByteAndRefusesTheRest) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string back;
  ASSERT_TRUE(fw::FromQt(fw::ToQt(all), &back));
  EXPECT_EQ(back, all);
  back = "kept";
  EXPECT_FALSE(fw::FromQt(QString::fromUtf8("price \xe2\x82\xac 5"), &back));
  EXPECT_EQ(back, "kept");
}

}  // namespace
}  // namespace pelldesk::test
