// The folder list: layout, drawing, selection, opening, Move, Delete, Find, printing.
#include "folder/dir_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>

#include "app/list_keys.h"
#include "app/not_found.h"
#include "app/resource_ids.h"
#include "folder/dir_doc.h"
#include "folder/dir_frame.h"
#include "folder/dir_printing.h"
#include "folder/dir_search.h"
#include "folder/find_dialog.h"
#include "framework/application.h"
#include "framework/commands.h"
#include "framework/text.h"
#include "framework/wait_cursor.h"

namespace pelldesk {

CDirView::CDirView(const ClientServices& services) : services_(services), pictures_(LoadEntryPictures()) {
  setFrameShape(QFrame::NoFrame);  // the header labels line up with the columns
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);

  const auto hasEntries = [this](fw::CommandState& state) { state.enabled = dirDoc() != nullptr && dirDoc()->count() > 0; };
  OnCommand(kCmdRefresh, [this] {
    if (CDirDoc* doc = dirDoc()) doc->Refresh();
  });
  OnCommand(
      kCmdMove, [this] { MoveSelected(); },
      [this](fw::CommandState& state) { state.enabled = !SelectedLivePath().empty(); });
  OnCommand(
      kCmdDelete, [this] { DeleteSelected(); },
      [this](fw::CommandState& state) {
        state.enabled = dirDoc() != nullptr && dirDoc()->kind() != FolderKind::Deleted && !SelectedLivePath().empty();
      });
  OnCommand(kCmdFontChange, [this] { OnUpdate(nullptr, 0, nullptr); });
  OnCommand(fw::kFilePrint, [this] { Print(); }, hasEntries);
  OnCommand(fw::kFilePrintPreview, [this] { PrintPreview(); }, hasEntries);
  OnCommand(fw::kEditFind, [this] { OpenFindDialog(); }, hasEntries);
  OnCommand(
      fw::kEditRepeat, [this] { FindNext(); },
      [this, hasEntries](fw::CommandState& state) {
        hasEntries(state);
        state.enabled = state.enabled && !SharedFindState().findWhat.empty();
      });
}

CDirDoc* CDirView::dirDoc() const { return dynamic_cast<CDirDoc*>(document()); }

CDirFrame* CDirView::dirFrame() const { return dynamic_cast<CDirFrame*>(frame()); }

QFont CDirView::DisplayFont() const {
  const QFont* display = services_.settings->displayFont();
  return display != nullptr ? *display : font();
}

void CDirView::OnInitialUpdate() {
  OnUpdate(nullptr, 0, nullptr);
  // The frame's decorations are known only once it is shown and laid out.
  if (frame() != nullptr && frame()->isVisible()) {
    ShrinkFrameToFit();
  } else {
    shrinkOnShow_ = true;
  }
}

void CDirView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  if (!shrinkOnShow_) return;
  shrinkOnShow_ = false;
  ShrinkFrameToFit();
}

void CDirView::OnUpdate(fw::View*, long hint, const std::string*) {
  const CDirDoc* doc = dirDoc();
  if (hint == 0) {
    Layout();
    std::string path;
    if (selection_ >= 0 && (doc == nullptr || (doc->GetEntryPath(selection_, &path), path != selectedPath_))) {
      selection_ = -1;
      selectedPath_.clear();
    }
    viewport()->update();
  } else if (doc != nullptr && hint == kHintEntriesChanged) {
    UpdateRows(doc->changedEntries());
  } else if (doc != nullptr && hint >= 1 && hint <= doc->count()) {
    RepaintRow(static_cast<int>(hint - 1));
  }
}

void CDirView::UpdateRows(const std::vector<int>& changed) {
  const CDirDoc* doc = dirDoc();
  if (doc == nullptr || rowHeight_ <= 0) {
    Layout();
    viewport()->update();
    return;
  }
  const int count = doc->count();
  rows_.resize(static_cast<std::size_t>(count));
  std::vector<RowTexts> fresh;
  fresh.reserve(changed.size());
  for (int index : changed) {
    if (index < 0 || index >= count) continue;
    rows_[static_cast<std::size_t>(index)] = RowTextsOf(doc->GetEntry(index));
    fresh.push_back(rows_[static_cast<std::size_t>(index)]);
    // A line that can no longer be moved or deleted cannot stay selected.
    if (index == selection_ && !IsLiveEntry(doc->GetEntry(index).state)) Select(-1);
  }
  // Only the changed lines are measured; the columns grow for them, the rest stays.
  const DirLayout widened = WidenDirLayout(layout_, QFontMetrics(DisplayFont()), fresh, pictures_.size());
  const bool moved = widened.row != layout_.row;  // any column that grew makes the line longer
  layout_ = widened;
  sizes_ = ComputeDirScrollSizes(layout_, count);
  UpdateScrollBars();
  if (CDirFrame* frame = dirFrame(); frame != nullptr && moved) {
    frame->PlaceHeaders({layout_.number.left(), layout_.date.left(), layout_.from.left(), layout_.subject.left()});
  }
  if (moved) {
    viewport()->update();
  } else {
    for (int index : changed) RepaintRow(index);
  }
}

void CDirView::Layout() {
  const CDirDoc* doc = dirDoc();
  const int count = doc != nullptr ? doc->count() : 0;
  rows_.clear();
  rows_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) rows_.push_back(RowTextsOf(doc->GetEntry(i)));
  layout_ = ComputeDirLayout(QFontMetrics(DisplayFont()), rows_, false, pictures_.size());
  rowHeight_ = layout_.rowHeight;
  sizes_ = ComputeDirScrollSizes(layout_, count);
  UpdateScrollBars();
  if (CDirFrame* frame = dirFrame()) {
    frame->PlaceHeaders({layout_.number.left(), layout_.date.left(), layout_.from.left(), layout_.subject.left()});
  }
}

void CDirView::UpdateScrollBars() {
  const QSize client = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(sizes_.total.width() - client.width(), 0));
  horizontalScrollBar()->setPageStep(std::max(sizes_.page.width(), 1));
  horizontalScrollBar()->setSingleStep(std::max(sizes_.line.width(), 1));
  verticalScrollBar()->setRange(0, std::max(sizes_.total.height() - client.height(), 0));
  verticalScrollBar()->setPageStep(std::max(sizes_.page.height(), 1));
  verticalScrollBar()->setSingleStep(std::max(sizes_.line.height(), 1));
}

void CDirView::ShrinkFrameToFit() {
  fw::ChildFrame* frame = this->frame();
  if (frame == nullptr) return;
  const QSize bars(verticalScrollBar()->sizeHint().width(), horizontalScrollBar()->sizeHint().height());
  frame->resize(FrameSizeToFit(frame->size(), size(), sizes_.total, bars));
}

void CDirView::RepaintRow(int index) {
  if (rowHeight_ <= 0 || index < 0) return;
  viewport()->update(QRect(0, index * rowHeight_ - verticalScrollBar()->value(), viewport()->width(), rowHeight_));
}

void CDirView::Select(int index) {
  if (selection_ >= 0) RepaintRow(selection_);
  selection_ = index;
  selectedPath_.clear();
  if (const CDirDoc* doc = dirDoc()) doc->GetEntryPath(index, &selectedPath_);
  if (index >= 0) RepaintRow(index);
  fw::CommandStateChanged();  // the commands on the selected entry follow it
}

std::string CDirView::SelectedLivePath() const {
  std::string path;
  const CDirDoc* doc = dirDoc();
  if (doc == nullptr || !IsLiveEntry(doc->GetEntryPath(selection_, &path))) return {};
  return path;
}

void CDirView::paintEvent(QPaintEvent* event) {
  const CDirDoc* doc = dirDoc();
  if (doc == nullptr || rowHeight_ <= 0) return;
  QPainter painter(viewport());
  const int dx = horizontalScrollBar()->value();
  const int dy = verticalScrollBar()->value();
  painter.translate(-dx, -dy);
  painter.setFont(DisplayFont());
  const QRect area = event->rect().translated(dx, dy);
  const DirColours colours = DirColoursOf(palette());
  const int count = std::min(doc->count(), static_cast<int>(rows_.size()));
  const int first = std::max(area.top() / rowHeight_, 0);
  const int end = std::min((area.top() + area.height() + rowHeight_ - 1) / rowHeight_, count);
  for (int row = first; row < end; ++row) {
    const int state = doc->GetEntry(row).state;
    DrawDirRow(painter, layout_, row * rowHeight_, rows_[static_cast<std::size_t>(row)], state,
               RowColoursOf(state, row == selection_, colours), &pictures_);
  }
}

void CDirView::mousePressEvent(QMouseEvent* event) {
  const CDirDoc* doc = dirDoc();
  if (event->button() == Qt::LeftButton && rowHeight_ > 0 && doc != nullptr) {
    const int row = DirRowAt(event->position().toPoint().y(), verticalScrollBar()->value(), rowHeight_);
    // A click on the selected line, below the list or on a grey line clears the selection.
    const bool takes = row != selection_ && row >= 0 && row < doc->count() && IsLiveEntry(doc->GetEntry(row).state);
    Select(takes ? row : -1);
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CDirView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The first click of a double click on the selected line cleared the selection: the
  // line under the pointer is what opens. Not passed on: the base would take the
  // second click for a press and deselect.
  const CDirDoc* doc = dirDoc();
  if (event->button() != Qt::LeftButton || rowHeight_ <= 0 || doc == nullptr) return;
  const int row = DirRowAt(event->position().toPoint().y(), verticalScrollBar()->value(), rowHeight_);
  if (row < 0 || row >= doc->count() || !IsLiveEntry(doc->GetEntry(row).state)) return;
  Select(row);
  OpenSelected();
}

void CDirView::keyPressEvent(QKeyEvent* event) {
  const CDirDoc* doc = dirDoc();
  if (doc == nullptr || rowHeight_ <= 0 || (event->modifiers() & ~Qt::KeypadModifier) != 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int page = std::max(viewport()->height() / rowHeight_, 1);
  const ListKeyResult result = ListKeyOf(event->key(), selection_, doc->count(), page,
                                         [doc](int row) { return IsLiveEntry(doc->GetEntry(row).state); });
  switch (result.action) {
    case ListKeyAction::None: QAbstractScrollArea::keyPressEvent(event); return;
    case ListKeyAction::Select:
      Select(result.row);
      verticalScrollBar()->setValue(ScrollValueToShow(result.row * rowHeight_, rowHeight_,
                                                      verticalScrollBar()->value(), viewport()->height()));
      break;
    case ListKeyAction::Open: OpenSelected(); break;
    case ListKeyAction::Delete: ExecuteCommand(kCmdDelete); break;
  }
  event->accept();
}

void CDirView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CDirView::scrollContentsBy(int, int) { viewport()->update(); }

void CDirView::OpenSelected() {
  std::string path;
  const CDirDoc* doc = dirDoc();
  if (doc != nullptr && doc->GetEntryPath(selection_, &path) != kEntryUnknown) {
    // An already open window on the file comes to the front instead.
    const bool opened = services_.windows->OpenMessageWindow(path.c_str());
    if (CDirDoc* still = dirDoc()) still->MarkEntryOpen(path, opened);
  }
  Select(-1);
}

void CDirView::MoveSelected() {
  const std::string path = SelectedLivePath();
  if (path.empty()) return;
  FolderChoice choice;
  if (!services_.chooser->ChooseDestination(&choice)) return;
  // The new state arrives through the document's MarkEntryMoved.
  if (services_.operations->MoveMessage(path, choice.name, choice.allowCreate, false) == 0) Select(-1);
}

void CDirView::DeleteSelected() {
  const CDirDoc* doc = dirDoc();
  const std::string path = SelectedLivePath();
  if (doc == nullptr || doc->kind() == FolderKind::Deleted || path.empty()) return;
  if (services_.operations->DeleteMessage(path, false) == 0) Select(-1);
}

void CDirView::OpenFindDialog() {
  FindState& find = SharedFindState();
  if (find.findDialog) {
    find.findDialog->show();
    find.findDialog->raise();
    find.findDialog->activateWindow();
    return;
  }
  auto* dialog = new CFindDialog(this, find.findWhat, find.matchCase, find.searchDown, find.matchIn);
  dialog->onFindNext = [this] { OnFindDialogNext(); };
  find.findDialog = dialog;  // forgotten by itself when the dialog closes and goes
  dialog->show();
}

void CDirView::OnFindDialogNext() {
  FindState& find = SharedFindState();
  auto* dialog = dynamic_cast<CFindDialog*>(find.findDialog.data());
  if (dialog == nullptr) return;
  std::string text;
  // A text the folder's 8-bit texts cannot hold matches nothing.
  const bool storable = dialog->findWhat(&text);
  if (storable) find.findWhat = text;
  find.matchCase = dialog->matchCase();
  find.searchDown = dialog->searchDown();
  find.matchIn = dialog->matchIn();
  if (!storable || !Search(find.findWhat, find.searchDown, find.matchCase, find.matchIn)) {
    SignalNotFound(dialog->textBox()->text());
  }
}

void CDirView::FindNext() {
  const FindState& find = SharedFindState();
  if (!Search(find.findWhat, find.searchDown, find.matchCase, find.matchIn)) SignalNotFound(fw::ToQt(find.findWhat));
}

bool CDirView::Search(const std::string& text, bool down, bool matchCase, int matchIn) {
  fw::WaitCursor wait;
  const CDirDoc* doc = dirDoc();
  const int row = doc != nullptr ? FindEntry(*doc, text, down, matchCase, matchIn, selection_) : -1;
  Select(row);
  if (row < 0) return false;
  ScrollToShow(row, down);
  return true;
}

void CDirView::ScrollToShow(int row, bool down) {
  if (rowHeight_ <= 0) return;
  QScrollBar* bar = verticalScrollBar();
  const int top = row * rowHeight_;
  const int height = viewport()->height();
  if (top >= bar->value() && top + rowHeight_ <= bar->value() + height) return;
  // Searching down the match comes to the top, searching up to the bottom.
  bar->setValue(down || height < rowHeight_ ? top : top + rowHeight_ - height);
}

bool CDirView::PrintTo(QPrinter& printer) {
  const CDirDoc* doc = dirDoc();
  if (doc == nullptr) return false;
  return PrintListing(printer, *doc, PrinterFontFor(services_.settings->displayFont(), *this, printer));
}

void CDirView::Print() {
  QPrinter& printer = fw::Application::Instance()->printer();
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!PrintTo(printer)) services_.errors->ReportErrorNoArg("Failed to start print job.", 0, 0);
}

void CDirView::PrintPreview() {
  QPrintPreviewDialog preview(&fw::Application::Instance()->printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { PrintTo(*printer); });
  preview.exec();
}

}  // namespace pelldesk
