// The folder tree view: its geometry and colours, the pictures drawn for each state at
// each depth, selection by click, opening by double click (the root line refreshes the
// tree itself), Delete Folder with its enabling, its failure and the folder window it
// closes, a rebuild under a selection, Font Change, the frame fitted to the tree,
// printing, and a picture of the window for a person to look at.
#include <QImage>
#include <QMdiArea>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "app/resource_ids.h"
#include "framework/commands.h"
#include "framework/mdi_frame.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "tree/tree_layout.h"
#include "tree/tree_painter.h"
#include "tree/tree_printing.h"
#include "framework/child_frame.h"
#include "tree_test_support.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

TEST(TreeGeometry, LineHeightHoldsTheFontOrThePicture) {
  struct Row {
    int fontHeight, leading, imageHeight, want;
  };
  const Row rows[] = {{20, 0, 12, 20}, {8, 0, 12, 12}, {16, 2, 12, 18}, {10, 2, 12, 12}, {0, 0, 12, 12}};
  for (const Row& r : rows) {
    EXPECT_EQ(TreeLineHeight(r.fontHeight, r.leading, r.imageHeight), r.want)
        << "font " << r.fontHeight << "+" << r.leading << ", picture " << r.imageHeight;
  }
}

TEST(TreeGeometry, ScrollSizesLeaveRoomForTheDeepestPictureAndFiveLines) {
  struct Row {
    const char* what;
    int textWidth, imageWidth, maxDepth, count, lineHeight;
    TreeScrollSizes want;
  };
  const Row rows[] = {
      {"depth 2, six lines", 100, 16, 2, 6, 20, {{100 + 4 * 16, 7 * 20}, {100, 200}, {100, 20}}},
      {"the root alone", 80, 16, 0, 1, 12, {{80 + 3 * 16, 5 * 12}, {80, 120}, {80, 12}}},
      {"no entries", 30, 16, -1, 0, 12, {{30 + 3 * 16, 5 * 12}, {30, 120}, {30, 12}}},
      {"four lines still five high", 50, 16, 1, 4, 15, {{50 + 3 * 16, 5 * 15}, {50, 150}, {50, 15}}},
      {"deep and long", 200, 16, 9, 40, 14, {{200 + 11 * 16, 41 * 14}, {200, 140}, {200, 14}}},
  };
  for (const Row& r : rows) {
    const TreeScrollSizes got = ComputeTreeScrollSizes(r.textWidth, r.imageWidth, r.maxDepth, r.count, r.lineHeight);
    EXPECT_EQ(got, r.want) << r.what << ": got total " << got.total.width << "x" << got.total.height << ", wanted "
                           << r.want.total.width << "x" << r.want.total.height;
  }
}

TEST(TreeGeometry, VisibleLinesAreThoseTheClipBoxTouches) {
  struct Row {
    int top, bottom, lineHeight, count, wantFirst, wantEnd;
  };
  const Row rows[] = {
      {0, 100, 20, 10, 0, 5},   {0, 101, 20, 10, 0, 6},  {19, 21, 20, 10, 0, 2}, {20, 40, 20, 10, 1, 2},
      {0, 1000, 20, 10, 0, 10}, {300, 400, 20, 10, 10, 10}, {0, 100, 0, 10, 0, 0}, {0, 100, 20, 0, 0, 0},
  };
  for (const Row& r : rows) {
    const LineRange got = VisibleTreeLines(r.top, r.bottom, r.lineHeight, r.count);
    EXPECT_TRUE(got.first == r.wantFirst && got.end == r.wantEnd)
        << "clip " << r.top << ".." << r.bottom << " lines of " << r.lineHeight << ", " << r.count
        << " entries: got [" << got.first << "," << got.end << "), wanted [" << r.wantFirst << "," << r.wantEnd << ")";
  }
}

TEST(TreeGeometry, LinesOfGoneFoldersAreGreyAndTheSelectionIsHighlighted) {
  const TreeColours c{Qt::black, Qt::white, Qt::yellow, Qt::blue, Qt::gray};
  struct Row {
    FolderState state;
    bool selected;
    LineColours want;
  };
  const Row rows[] = {
      {FolderState::Listed, false, {Qt::black, Qt::white}}, {FolderState::Seen, false, {Qt::black, Qt::white}},
      {FolderState::Open, false, {Qt::black, Qt::white}},   {FolderState::Open, true, {Qt::yellow, Qt::blue}},
      {FolderState::Listed, true, {Qt::yellow, Qt::blue}},  {FolderState::Deleted, false, {Qt::gray, Qt::white}},
      {FolderState::Moved, false, {Qt::gray, Qt::white}},   {FolderState::Deleted, true, {Qt::white, Qt::gray}},
      {FolderState::Unknown, true, {Qt::white, Qt::gray}},
  };
  for (const Row& r : rows) {
    const LineColours got = TreeLineColours(r.state, r.selected, c);
    EXPECT_EQ(got, r.want) << "state " << static_cast<int>(r.state) << (r.selected ? " selected" : "") << ": got "
                           << got.text.name().toStdString() << " on " << got.background.name().toStdString();
  }
}

class TreeView : public TreeTest {
 protected:
  // The tree of the edge cases: the standard folders, work and work/projects.
  CTreeView* OpenStandardTree() {
    Folders({"deleted", "main", "new", "work/projects"});
    doc_ = OpenTree();
    return ViewOf(doc_);
  }
  QImage Grab(CTreeView* view) {
    ProcessEvents();
    return view->viewport()->grab().toImage();
  }
  CTreeDoc* doc_ = nullptr;
};

TEST_F(TreeView, LayoutFollowsTheDisplayFontAndTheNames) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const QFont font = app_.displayFont() != nullptr ? *app_.displayFont() : view->font();
  const QFontMetrics metrics(font);
  const int textWidth = metrics.horizontalAdvance("projects") + 2 * metrics.horizontalAdvance("M");
  const int lineHeight = std::max(metrics.height() + std::max(metrics.leading(), 0), 12);
  EXPECT_EQ(view->lineHeight(), lineHeight);
  EXPECT_EQ(view->scrollSizes().total, (Extent{textWidth + 4 * 16, 7 * lineHeight}));
  EXPECT_EQ(view->scrollSizes().page, (Extent{textWidth, 10 * lineHeight}));
}

TEST_F(TreeView, FontChangeLaysTheTreeOutAgain) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  struct Row {
    int pixels;
    bool wantPictureHeight;  // the picture, not the font, sets the line
  };
  for (const Row& row : {Row{30, false}, Row{6, true}}) {
    LogFont chosen = app_.logFont();
    chosen.height = -row.pixels;
    ASSERT_TRUE(app_.ApplyChosenFont(chosen));  // sends Font Change to every window
    const QFontMetrics metrics(*app_.displayFont());
    const int fontLine = metrics.height() + std::max(metrics.leading(), 0);
    EXPECT_EQ(view->lineHeight(), row.wantPictureHeight ? 12 : fontLine) << row.pixels << " px, font line " << fontLine;
    EXPECT_EQ(row.wantPictureHeight, fontLine < 12) << row.pixels << " px";
  }
}

TEST_F(TreeView, EachLineShowsThePictureOfItsStateIndentedByDepth) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  doc_->MarkFolderOpen(Mail("main"), true);            // line 2: open folder
  doc_->MarkFolderMoved(Mail("new"), Mail("new"), true);  // line 3: crossed out
  doc_->MarkFolderMoved(Mail("work/projects"), Mail("x"), false);  // line 5: arrow
  const QImage image = Grab(view);
  const int h = view->lineHeight();
  const QColor yellow(255, 255, 0), darkYellow(128, 128, 0), red(255, 0, 0);
  struct Row {
    const char* what;
    int line, depth, x, y;
    QColor want;
  };
  const Row rows[] = {
      {"root: closed folder at depth 0", 0, 0, 8, 6, yellow},
      {"deleted: closed folder at depth 1", 1, 1, 8, 6, yellow},
      {"main: open folder's back", 2, 1, 3, 3, darkYellow},
      {"main: open folder's front", 2, 1, 8, 8, yellow},
      {"new: red cross", 3, 1, 8, 5, red},
      {"projects: red arrow at depth 2", 5, 2, 8, 6, red},
      {"projects: nothing at depth 1", 5, 2, 8 - 16, 6, view->palette().color(QPalette::Base)},
  };
  for (const Row& r : rows) {
    const QColor got = image.pixelColor(16 * r.depth + r.x, r.line * h + r.y);
    EXPECT_EQ(got.rgb(), r.want.rgb()) << r.what << ": got " << got.name().toStdString() << ", wanted "
                                       << r.want.name().toStdString();
  }
}

TEST_F(TreeView, AClickSelectsALiveLineAndASecondClickClearsIt) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  doc_->MarkFolderMoved(Mail("new"), Mail("new"), true);  // line 3
  struct Row {
    const char* what;
    int row;
    int want;
  };
  const Row rows[] = {
      {"a folder", 1, 1},       {"the same again clears", 1, -1}, {"the root", 0, 0},
      {"another", 4, 4},        {"a deleted line", 3, -1},         {"below the last line", 9, -1},
      {"a nested folder", 5, 5},
  };
  for (const Row& r : rows) {
    Click(view, r.row);
    EXPECT_EQ(view->selected(), r.want) << r.what;
  }
}

TEST_F(TreeView, AClickCountsTheScrolledLines) {
  for (int i = 0; i < 60; ++i) Folders({"f" + std::to_string(100 + i)});
  doc_ = OpenTree();
  CTreeView* view = ViewOf(doc_);
  ASSERT_NE(view, nullptr);
  view->frame()->resize(300, 200);
  ProcessEvents();
  view->verticalScrollBar()->setValue(10 * view->lineHeight());
  Click(view, 2);
  EXPECT_EQ(view->selected(), 12);
}

TEST_F(TreeView, DeleteFolderIsOfferedOnlyForAnEmptyFolderStillThere) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  Folders({"empty", "counted", "full", "parent/child"});
  WriteMessage(Mail("full/msg0001.mai"), 1700000000);
  pellam::test::WriteTextFile(Mail("counted/#serial.dat"), "1");
  ViewOf(doc_)->Dispatch(kCmdRefresh);
  struct Row {
    const char* what;
    std::string folder;  // "" none selected
    bool gone;
    bool want;
  };
  const Row rows[] = {
      {"an empty folder", "empty", false, true},
      {"a folder with only its counter file", "counted", false, true},
      {"a folder with a message", "full", false, false},
      {"a folder with a sub-folder", "parent", false, false},
      {"a deleted folder", "empty", true, false},
      {"nothing selected", "", false, false},
  };
  for (const Row& r : rows) {
    const int index = r.folder.empty() ? -1 : IndexOf(doc_, Mail(r.folder));
    view->Select(index);
    if (r.gone) doc_->MarkFolderMoved(Mail(r.folder), Mail(r.folder), true);
    fw::CommandState state;
    ASSERT_TRUE(view->QueryState(kCmdDeleteFolder, &state));
    EXPECT_EQ(state.enabled, r.want) << r.what;
  }
}

TEST_F(TreeView, DeletingAFolderClosesItsWindowAndShowsItDeleted) {
  app_.folderTemplate()->SetDocumentKind(StandInFolderKind());
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  Folders({"work/empty"});
  view->Dispatch(kCmdRefresh);
  const int line = IndexOf(doc_, Mail("work/empty"));
  ASSERT_GT(line, 0);
  DoubleClick(view, line);
  ASSERT_EQ(app_.folderTemplate()->documents().size(), 1u) << "its folder window opened";
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Open);

  Click(view, line);
  ASSERT_EQ(view->selected(), line);
  view->Dispatch(kCmdDeleteFolder);
  EXPECT_FALSE(fs::exists(Mail("work/empty")));
  EXPECT_TRUE(app_.folderTemplate()->documents().empty()) << "its folder window closed";
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Deleted);
  EXPECT_EQ(view->selected(), -1);
  EXPECT_EQ(boxes_->count(), 0u);
  const QImage image = Grab(view);
  EXPECT_EQ(image.pixelColor(16 * 2 + 8, line * view->lineHeight() + 5).rgb(), QColor(255, 0, 0).rgb())
      << "the crossed-out picture";
  view->Dispatch(kCmdRefresh);
  EXPECT_EQ(IndexOf(doc_, Mail("work/empty")), -1) << "Refresh drops the line";
}

TEST_F(TreeView, DeletingAFolderFromTheTreeClosesTheClientsOwnFolderWindow) {
  Folders({"main", "work/empty"});
  doc_ = OpenTree();
  CTreeView* view = ViewOf(doc_);
  ASSERT_NE(view, nullptr);
  const int line = IndexOf(doc_, Mail("work/empty"));
  DoubleClick(view, line);
  ASSERT_EQ(app_.folderTemplate()->documents().size(), 1u);
  EXPECT_EQ(app_.folderTemplate()->documents()[0]->pathName(), Mail("work/empty"));
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Open);
  Click(view, line);
  view->Dispatch(kCmdDeleteFolder);
  ProcessEvents();
  EXPECT_FALSE(fs::exists(Mail("work/empty")));
  EXPECT_TRUE(app_.folderTemplate()->documents().empty()) << "its folder window closed";
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Deleted);
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(TreeView, AFolderThatCannotBeRemovedKeepsItsLine) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const int line = IndexOf(doc_, Mail("work/projects"));
  view->Select(line);
  {
    platform::fault::Scope faults;
    // The counter file's deletion comes first, then the directory's removal.
    platform::fault::FailNth(platform::fault::Op::Delete, 2, ERROR_ACCESS_DENIED);
    view->Dispatch(kCmdDeleteFolder);
  }
  EXPECT_TRUE(fs::is_directory(Mail("work/projects")));
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Listed);
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_EQ(boxes_->boxes()[0].text.rfind("Directory " + Mail("work/projects") + " could not be removed.", 0), 0u)
      << boxes_->boxes()[0].text;
}

TEST_F(TreeView, ADoubleClickOpensTheFolderWindowAndItsCloseShowsTheFolderSeen) {
  app_.folderTemplate()->SetDocumentKind(StandInFolderKind());
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const int line = IndexOf(doc_, Mail("work"));
  DoubleClick(view, line);
  const auto folders = app_.folderTemplate()->documents();
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0]->pathName(), Mail("work"));
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Open);
  EXPECT_EQ(view->selected(), -1);

  DoubleClick(view, line);  // the window is found and brought to the front, not opened twice
  EXPECT_EQ(app_.folderTemplate()->documents().size(), 1u);

  folders[0]->OnCloseDocument();
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Seen);
  DoubleClick(view, line);
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Open) << "seen, then open again";
}

TEST_F(TreeView, ADoubleClickOnASelectedLineOpensItAndOnAGoneFolderNothing) {
  app_.folderTemplate()->SetDocumentKind(StandInFolderKind());
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const int work = IndexOf(doc_, Mail("work"));
  Click(view, work);  // selected before: the double click's first click clears it
  DoubleClick(view, work);
  ASSERT_EQ(app_.folderTemplate()->documents().size(), 1u) << "a double click always opens";
  EXPECT_EQ(app_.folderTemplate()->documents()[0]->pathName(), Mail("work"));
  doc_->MarkFolderMoved(Mail("main"), Mail("main"), true);
  DoubleClick(view, IndexOf(doc_, Mail("main")));
  EXPECT_EQ(app_.folderTemplate()->documents().size(), 1u);
}

TEST_F(TreeView, AFolderWindowThatCannotOpenLeavesTheLineListed) {
  app_.folderTemplate()->SetDocumentKind({});
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const int line = IndexOf(doc_, Mail("main"));
  DoubleClick(view, line);
  EXPECT_EQ(doc_->GetFolderEntry(line).state, FolderState::Listed);
}

TEST_F(TreeView, ADoubleClickOnTheRootFindsTheTreeItselfAndRefreshesIt) {
  app_.folderTemplate()->SetDocumentKind(StandInFolderKind());
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(doc_->GetFolderEntry(0).state, FolderState::Listed);
  Folders({"arrived"});
  DoubleClick(view, 0);
  EXPECT_TRUE(app_.folderTemplate()->documents().empty()) << "no folder window on the mail directory";
  ASSERT_EQ(app_.treeTemplate()->documents().size(), 1u);
  EXPECT_EQ(Tree(), doc_);
  EXPECT_EQ(doc_->GetFolderEntry(0).state, FolderState::Open);
  EXPECT_NE(IndexOf(doc_, Mail("arrived")), -1) << "the tree was built again";
  EXPECT_EQ(app_.mainFrame()->ActiveChild(), view->frame());
  EXPECT_EQ(boxes_->count(), 0u);
}

TEST_F(TreeView, TheSelectionFollowsItsFolderThroughARebuildOrGoesWithIt) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  const int work = IndexOf(doc_, Mail("work"));
  view->Select(work);
  view->Dispatch(kCmdRefresh);
  EXPECT_EQ(view->selected(), work) << "the same folder on the same line stays selected";
  fs::remove(Mail("deleted"));  // every line below moves up by one
  view->Dispatch(kCmdRefresh);
  EXPECT_EQ(doc_->GetFolderEntry(work).path, Mail("work/projects"));
  EXPECT_EQ(view->selected(), work - 1) << "work, one line higher now";
  view->Select(IndexOf(doc_, Mail("work/projects")));
  fs::remove_all(Mail("work/projects"));
  view->Dispatch(kCmdRefresh);
  EXPECT_EQ(view->selected(), -1);
  fw::CommandState state;
  ASSERT_TRUE(view->QueryState(kCmdDeleteFolder, &state));
  EXPECT_FALSE(state.enabled) << "Delete Folder cannot reach the folder on that line now";
}

TEST_F(TreeView, TheFrameShrinksToFitASmallTree) {
  CTreeView* view = OpenStandardTree();
  ASSERT_NE(view, nullptr);
  ProcessEvents();
  const TreeScrollSizes& sizes = view->scrollSizes();
  // As wide as the tree, or as its caption needs when that is wider.
  fw::ChildFrame* frame = view->frame();
  const int button = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
  const int caption = frame->fontMetrics().horizontalAdvance(frame->windowTitle()) + 4 * button;
  EXPECT_GE(frame->width(), caption) << "the caption would be cut";
  EXPECT_GE(view->viewport()->width(), sizes.total.width);
  EXPECT_EQ(view->viewport()->height(), sizes.total.height);
}

TEST_F(TreeView, PrintingPutsEveryLineOnAsManyPagesAsNeeded) {
  for (int i = 0; i < 120; ++i) Folders({"f" + std::to_string(100 + i)});
  doc_ = OpenTree();
  CTreeView* view = ViewOf(doc_);
  ASSERT_NE(view, nullptr);
  QTemporaryDir dir;
  const QString file = dir.filePath("tree.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  ASSERT_TRUE(PrintTree(printer, view->Drawing(), view->logicalDpiY()));

  const double scale = static_cast<double>(printer.resolution()) / view->logicalDpiY();
  const int pageHeight = static_cast<int>(printer.pageRect(QPrinter::DevicePixel).height() / scale);
  const int perPage = TreeLinesPerPage(pageHeight, view->lineHeight());
  const int wantPages = (doc_->count() + perPage - 1) / perPage;
  std::ifstream in(file.toStdString(), std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1)) {
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  }
  EXPECT_GT(wantPages, 1);
  EXPECT_EQ(pages, wantPages) << doc_->count() << " lines, " << perPage << " to a page";
}

TEST_F(TreeView, Screenshot) {
  app_.folderTemplate()->SetDocumentKind(StandInFolderKind());
  Folders({"deleted", "main", "new", "work/projects/2024", "work/old", "family", "lists/pellam-users"});
  doc_ = OpenTree();
  CTreeView* view = ViewOf(doc_);
  ASSERT_NE(view, nullptr);
  DoubleClick(view, IndexOf(doc_, Mail("work/projects")));
  doc_->MarkFolderMoved(Mail("work/old"), Mail("work/old"), true);
  app_.ActivateDocumentWindow(doc_, false);
  Click(view, IndexOf(doc_, Mail("family")));
  app_.mainFrame()->resize(640, 420);
  for (fw::ChildFrame* child : app_.mainFrame()->Children()) {
    if (child != view->frame()) child->move(260, 40);
  }
  view->frame()->move(0, 0);
  ProcessEvents();
  const QImage picture = app_.mainFrame()->grab().toImage();
  ASSERT_FALSE(picture.isNull());
  SaveScreenshot(picture, "pelldesk-tree.png", sandbox_.Path("pictures"));
}

}  // namespace
}  // namespace pelldesk::test
