// The view base.
#include "framework/view.h"

#include <QWidget>

#include "framework/child_frame.h"
#include "framework/document.h"
#include "framework/mdi_frame.h"

namespace fw {

View::~View() {
  // A view destroyed with its frame has been detached already; this covers a view
  // widget destroyed some other way (its document closes if it was the last view).
  if (document_ != nullptr) {
    Document* doc = document_;
    document_ = nullptr;
    doc->RemoveView(this);
  }
}

bool View::ExecuteCommand(int id) {
  auto* main = frame_ != nullptr ? dynamic_cast<MdiFrame*>(frame_->window()) : nullptr;
  if (main == nullptr || !main->router().Execute(id)) return false;
  main->UpdateCommandUi();
  return true;
}

void View::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void View::OnUpdate(View*, long, const std::string*) {
  if (QWidget* w = widget()) w->update();
}

}  // namespace fw
