// The folder tree view: layout, drawing, selection by mouse, opening by double click,
// Delete Folder, Refresh, Font Change and printing.
#include "tree/tree_view.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

#include "app/list_keys.h"
#include "app/folder_emptiness.h"
#include "app/resource_ids.h"
#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/commands.h"
#include "framework/text.h"
#include "tree/tree_doc.h"
#include "tree/tree_printing.h"

namespace pelldesk {

CTreeView::CTreeView(const ClientServices& services) : services_(services), pictures_(LoadStatePictures()) {
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  OnCommand(kCmdRefresh, [this] {
    if (CTreeDoc* doc = treeDoc()) doc->Refresh();
  });
  OnCommand(kCmdFontChange, [this] { OnUpdate(nullptr, 0, nullptr); });
  OnCommand(
      kCmdDeleteFolder, [this] { DeleteSelected(); },
      [this](fw::CommandState& state) { state.enabled = CanDeleteSelected(); });
  OnCommand(fw::kFilePrint, [this] { Print(); });
  OnCommand(fw::kFilePrintPreview, [this] { PrintPreview(); });
}

CTreeDoc* CTreeView::treeDoc() const { return dynamic_cast<CTreeDoc*>(document()); }

void CTreeView::OnInitialUpdate() {
  OnUpdate(nullptr, 0, nullptr);
  ResizeParentToFit();
}

void CTreeView::OnUpdate(fw::View*, long hint, const std::string*) {
  const CTreeDoc* doc = treeDoc();
  const int count = doc != nullptr ? doc->count() : 0;
  if (hint == 0) {
    Layout();
    // The selection follows its folder to its new line, or goes when the folder has.
    if (selected_ >= 0 && (doc == nullptr || doc->GetFolderEntry(selected_).path != selectedPath_)) {
      selected_ = -1;
      for (int i = 0; doc != nullptr && i < count; ++i) {
        const FolderEntry& entry = doc->GetFolderEntry(i);
        if (entry.path == selectedPath_ && IsSelectable(entry.state)) selected_ = i;
      }
      if (selected_ < 0) selectedPath_.clear();
    }
    viewport()->update();
  } else if (hint >= 1 && hint <= count) {
    RepaintLine(static_cast<int>(hint - 1));
  }
}

void CTreeView::RepaintLine(int index) {
  if (lineHeight_ <= 0) return;
  viewport()->update(
      QRect(0, index * lineHeight_ - verticalScrollBar()->value(), viewport()->width(), lineHeight_));
}

void CTreeView::Select(int index) {
  if (selected_ >= 0) RepaintLine(selected_);
  selected_ = index;
  const CTreeDoc* doc = treeDoc();
  selectedPath_ = doc != nullptr ? doc->GetFolderEntry(index).path : std::string();
  if (index >= 0) RepaintLine(index);
  fw::CommandStateChanged();  // the commands on the selected entry follow it
}

QFont CTreeView::LayoutFont() const {
  const QFont* display = services_.settings->displayFont();
  return display != nullptr ? *display : font();
}

void CTreeView::Layout() {
  const CTreeDoc* doc = treeDoc();
  const QFontMetrics metrics(LayoutFont());
  lineHeight_ = TreeLineHeight(metrics.height(), std::max(metrics.leading(), 0), pictures_.imageHeight);
  int widest = 0;
  const int count = doc != nullptr ? doc->count() : 0;
  for (int i = 0; i < count; ++i) {
    widest = std::max(widest, metrics.horizontalAdvance(fw::ToQt(doc->GetFolderEntry(i).name)));
  }
  const int textWidth = widest + 2 * metrics.horizontalAdvance(QLatin1Char('M'));
  sizes_ = ComputeTreeScrollSizes(textWidth, pictures_.imageWidth, doc != nullptr ? doc->maxDepth() : -1, count,
                                  lineHeight_);
  UpdateScrollBars();
}

void CTreeView::UpdateScrollBars() {
  const QSize client = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(sizes_.total.width - client.width(), 0));
  horizontalScrollBar()->setPageStep(sizes_.page.width);
  horizontalScrollBar()->setSingleStep(sizes_.line.width);
  verticalScrollBar()->setRange(0, std::max(sizes_.total.height - client.height(), 0));
  verticalScrollBar()->setPageStep(sizes_.page.height);
  verticalScrollBar()->setSingleStep(sizes_.line.height);
}

void CTreeView::ResizeParentToFit() {
  fw::ChildFrame* frame = this->frame();
  if (frame == nullptr) return;
  // The frame is made just large enough for the whole tree, but never larger. It has
  // not been shown yet, so what it adds around the view comes from its margins.
  frame->ensurePolished();
  const QMargins margins = frame->contentsMargins();
  const QSize around(margins.left() + margins.right() + 2 * frameWidth(),
                     margins.top() + margins.bottom() + 2 * frameWidth());
  const QSize fit = QSize(sizes_.total.width, sizes_.total.height) + around;
  const QSize current = frame->size();
  QSize size = fit.boundedTo(current);
  // A dimension cut short brings its scroll bar, which the other one must hold.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  if (fit.height() > size.height()) size.setWidth(std::min(fit.width() + bar, current.width()));
  if (fit.width() > size.width()) size.setHeight(std::min(fit.height() + bar, current.height()));
  // Never so narrow that the caption (the icon, the folder's name and three buttons)
  // is cut to an ellipsis.
  const int button = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
  const int caption = frame->fontMetrics().horizontalAdvance(frame->windowTitle()) + 4 * button + around.width();
  size.setWidth(std::max(size.width(), std::min(caption, current.width())));
  frame->resize(size);
}

TreeDrawing CTreeView::Drawing() const {
  TreeDrawing drawing;
  drawing.doc = treeDoc();
  drawing.pictures = &pictures_;
  drawing.font = LayoutFont();
  drawing.lineHeight = lineHeight_;
  drawing.selected = selected_;
  drawing.colours = TreeColoursOf(palette());
  return drawing;
}

void CTreeView::paintEvent(QPaintEvent* event) {
  const CTreeDoc* doc = treeDoc();
  if (doc == nullptr || lineHeight_ <= 0) return;
  QPainter painter(viewport());
  const int dx = horizontalScrollBar()->value();
  const int dy = verticalScrollBar()->value();
  painter.translate(-dx, -dy);
  const QRect clip = event->rect().translated(dx, dy);
  DrawTreeLines(painter, Drawing(), VisibleTreeLines(clip.top(), clip.top() + clip.height(), lineHeight_, doc->count()));
}

void CTreeView::mousePressEvent(QMouseEvent* event) {
  const CTreeDoc* doc = treeDoc();
  if (event->button() == Qt::LeftButton && lineHeight_ > 0 && doc != nullptr) {
    const int row = TreeRowAt(event->position().toPoint().y(), verticalScrollBar()->value(), lineHeight_);
    // Clicking the selected line clears the selection; gone folders cannot be selected.
    const bool takes = row != selected_ && row >= 0 && row < doc->count() && IsSelectable(doc->GetFolderEntry(row).state);
    Select(takes ? row : -1);
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The line under the pointer opens, also when the first click of the double click
  // cleared its selection. Not passed on: the base would take it for another press.
  const CTreeDoc* doc = treeDoc();
  if (event->button() != Qt::LeftButton || lineHeight_ <= 0 || doc == nullptr) return;
  const int row = TreeRowAt(event->position().toPoint().y(), verticalScrollBar()->value(), lineHeight_);
  if (row < 0 || row >= doc->count() || !IsSelectable(doc->GetFolderEntry(row).state)) return;
  Select(row);
  OpenSelected();
}

void CTreeView::OpenSelected() {
  std::string path;
  const CTreeDoc* doc = treeDoc();
  if (doc != nullptr && doc->GetFolderPath(selected_, &path) != FolderState::Unknown) {
    // On the root line this finds the tree window itself and rebuilds it.
    const bool opened = services_.windows->OpenFolderWindow(path);
    if (CTreeDoc* still = treeDoc()) still->MarkFolderOpen(path, opened);
  }
  Select(-1);
}

void CTreeView::keyPressEvent(QKeyEvent* event) {
  const CTreeDoc* doc = treeDoc();
  if (doc == nullptr || lineHeight_ <= 0 || (event->modifiers() & ~Qt::KeypadModifier) != 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int page = std::max(viewport()->height() / lineHeight_, 1);
  const ListKeyResult result = ListKeyOf(event->key(), selected_, doc->count(), page,
                                         [doc](int row) { return IsSelectable(doc->GetFolderEntry(row).state); });
  switch (result.action) {
    case ListKeyAction::None: QAbstractScrollArea::keyPressEvent(event); return;
    case ListKeyAction::Select:
      Select(result.row);
      verticalScrollBar()->setValue(ScrollValueToShow(result.row * lineHeight_, lineHeight_,
                                                      verticalScrollBar()->value(), viewport()->height()));
      break;
    case ListKeyAction::Open: OpenSelected(); break;
    case ListKeyAction::Delete: ExecuteCommand(kCmdDeleteFolder); break;
  }
  event->accept();
}

void CTreeView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CTreeView::scrollContentsBy(int, int) { viewport()->update(); }

bool CTreeView::CanDeleteSelected() const {
  const CTreeDoc* doc = treeDoc();
  if (doc == nullptr) return false;
  const FolderEntry& entry = doc->GetFolderEntry(selected_);
  return IsSelectable(entry.state) && services_.emptiness->IsEmpty(entry.path);
}

void CTreeView::DeleteSelected() {
  const CTreeDoc* doc = treeDoc();
  std::string path;
  if (doc == nullptr || !IsSelectable(doc->GetFolderPath(selected_, &path))) return;
  Select(-1);
  // Success shows the Deleted picture through the operation's notice.
  services_.operations->DeleteFolder(path, false);
}

void CTreeView::Print() {
  QPrinter& printer = fw::Application::Instance()->printer();
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!PrintTree(printer, Drawing(), logicalDpiY())) {
    services_.errors->ReportErrorNoArg("Failed to start print job.", 0, 0);
  }
}

void CTreeView::PrintPreview() {
  QPrintPreviewDialog preview(&fw::Application::Instance()->printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* printer) { PrintTree(*printer, Drawing(), logicalDpiY()); });
  preview.exec();
}

}  // namespace pelldesk
