// Child frames of the MDI area.
#include "framework/child_frame.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMdiArea>

#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/text.h"
#include "framework/view.h"

namespace fw {

ChildFrame::ChildFrame() = default;

ChildFrame::~ChildFrame() {
  // Detach before Qt deletes the view widget, so the document never reaches a frame
  // that is half destroyed.
  destroying_ = true;
  if (view_ != nullptr) {
    View* view = view_;
    view_ = nullptr;
    view->frame_ = nullptr;
    if (Document* doc = view->document()) doc->RemoveView(view);
  }
}

Document* ChildFrame::document() const { return view_ != nullptr ? view_->document() : nullptr; }

bool ChildFrame::Create(View* view, Document* doc, DocTemplate* doc_template) {
  view_ = view;
  template_ = doc_template;
  view->frame_ = this;
  doc->AddView(view);
  if (doc_template != nullptr) {
    setWindowIcon(QIcon(QString(":/icons/%1.png").arg(doc_template->iconId())));
  }
  return OnCreateClient(view);
}

bool ChildFrame::OnCreateClient(View* view) {
  setWidget(view->widget());
  return true;
}

void ChildFrame::InitialUpdateFrame(bool visible) {
  UpdateTitle();
  if (view_ != nullptr) view_->OnInitialUpdate();
  if (visible) ActivateFrame();
}

void ChildFrame::UpdateTitle() {
  if (Document* doc = document()) setWindowTitle(ToQt(doc->title()));
}

void ChildFrame::ActivateFrame(int show_command) {
  if (show_command == SW_SHOWMAXIMIZED) {
    showMaximized();
  } else if (show_command == SW_RESTORE) {
    showNormal();
  } else {
    show();
  }
  if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
  raise();
  if (view_ != nullptr && view_->widget() != nullptr) view_->widget()->setFocus();
}

ChildFrame* ChildFrame::LastActiveSibling() const {
  QMdiArea* area = mdiArea();
  if (area == nullptr) return nullptr;
  const QList<QMdiSubWindow*> history = area->subWindowList(QMdiArea::ActivationHistoryOrder);
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    auto* frame = qobject_cast<ChildFrame*>(*it);
    if (frame != nullptr && frame != this && !frame->IsDestroying() && !frame->isHidden()) return frame;
  }
  return nullptr;
}

void ChildFrame::DestroyFrame() {
  if (destroying_) return;
  // Chosen before the frame goes, while the history still says who came before it;
  // left to itself the area would activate the oldest window and drop the maximised
  // state.
  QMdiArea* area = mdiArea();
  ChildFrame* next = area != nullptr && area->currentSubWindow() == this ? LastActiveSibling() : nullptr;
  const bool maximized = isMaximized();
  destroying_ = true;
  if (view_ != nullptr) {
    if (Document* doc = view_->document()) doc->RemoveView(view_);
  }
  hide();
  if (area != nullptr) area->removeSubWindow(this);
  if (next != nullptr) next->ActivateFrame(maximized ? SW_SHOWMAXIMIZED : -1);
  deleteLater();
}

void ChildFrame::closeEvent(QCloseEvent* event) {
  // Closing is the document's decision; the frame goes away through DestroyFrame.
  event->ignore();
  if (destroying_) return;
  Document* doc = document();
  if (doc == nullptr) {
    DestroyFrame();
    return;
  }
  if (!doc->CanCloseFrame(this)) return;
  if (doc->views().size() <= 1) {
    doc->OnCloseDocument();
  } else {
    DestroyFrame();
  }
}

}  // namespace fw
