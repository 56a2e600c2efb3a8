// The document base: views, title, modified flag, closing and saving.
#include "framework/document.h"

#include <algorithm>

#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/commands.h"
#include "framework/doc_template.h"
#include "framework/message_box.h"
#include "framework/view.h"
#include "platform/paths.h"

namespace fw {

Document::Document() {
  OnCommand(kFileSave, [this] { DoFileSave(); });
  OnCommand(kFileClose, [this] {
    if (SaveModified()) OnCloseDocument();
  });
  OnCommand(kFileSaveAs, [this] {
    std::string target = path_name_;
    Application* app = Application::Instance();
    if (app != nullptr && app->PromptFileName(&target, false, template_)) DoSave(target);
  });
}

Document::~Document() {
  for (View* view : views_) view->document_ = nullptr;
}

void Document::SetPathName(const std::string& path) {
  char full[platform::kMaxPath];
  uint32_t length = platform::GetFullPathName(path.c_str(), sizeof full, full);
  path_name_ = (length > 0 && length < sizeof full) ? std::string(full, length) : path;
  SetTitle(platform::FinalName(path_name_.c_str()));
}

void Document::SetTitle(const std::string& title) {
  title_ = title;
  for (View* view : views_) {
    if (ChildFrame* frame = view->frame()) frame->UpdateTitle();
  }
}

void Document::AddView(View* view) {
  if (std::find(views_.begin(), views_.end(), view) != views_.end()) return;
  if (view->document_ != nullptr && view->document_ != this) view->document_->RemoveView(view);
  views_.push_back(view);
  view->document_ = this;
}

void Document::RemoveView(View* view) {
  auto it = std::find(views_.begin(), views_.end(), view);
  if (it == views_.end()) return;
  views_.erase(it);
  view->document_ = nullptr;
  if (views_.empty() && !closing_ && template_ != nullptr) OnCloseDocument();
}

void Document::SetModifiedFlag(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  CommandStateChanged();  // the MOD pane, Save
}

void Document::UpdateAllViews(View* sender, long hint, const std::string* text) {
  // A copy: an update may close a view.
  std::vector<View*> views = views_;
  for (View* view : views) {
    if (view != sender) view->OnUpdate(sender, hint, text);
  }
  CommandStateChanged();
}

bool Document::OnNewDocument() {
  DeleteContents();
  SetModifiedFlag(false);
  return true;
}

bool Document::OnOpenDocument(const std::string&) { return false; }

bool Document::OnSaveDocument(const std::string&) { return false; }

void Document::OnCloseDocument() {
  if (closing_) return;
  closing_ = true;
  std::vector<View*> views = views_;
  for (View* view : views) {
    if (ChildFrame* frame = view->frame()) frame->DestroyFrame();
  }
  views_.clear();
  DeleteContents();
  if (template_ != nullptr) template_->DestroyDocument(this);  // deletes this
}

bool Document::CanCloseFrame(ChildFrame* frame) {
  for (View* view : views_) {
    if (view->frame() != nullptr && view->frame() != frame) return true;  // not the last
  }
  return SaveModified();
}

bool Document::SaveModified() {
  if (!IsModified()) return true;
  std::string name = path_name_.empty() ? title_ : path_name_;
  switch (ShowMessageBox("Save changes to " + name + "?", MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES: return DoFileSave();
    case IDNO: return true;
    default: return false;
  }
}

bool Document::DoFileSave() { return DoSave(path_name_); }

bool Document::DoSave(const std::string& path) {
  std::string target = path;
  if (target.empty()) {
    Application* app = Application::Instance();
    if (app == nullptr || !app->PromptFileName(&target, false, template_)) return false;
  }
  if (!OnSaveDocument(target)) return false;
  if (target != path_name_) SetPathName(target);
  SetModifiedFlag(false);
  return true;
}

}  // namespace fw
