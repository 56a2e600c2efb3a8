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

void ChildFrame::DestroyFrame() {
  if (destroying_) return;
  destroying_ = true;
  if (view_ != nullptr) {
    if (Document* doc = view_->document()) doc->RemoveView(view_);
  }
  hide();
  if (QMdiArea* area = mdiArea()) area->removeSubWindow(this);
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
