// Opening documents through their template.
#include "framework/doc_template.h"

#include <strings.h>

#include <algorithm>

#include "framework/application.h"
#include "framework/child_frame.h"
#include "framework/document.h"
#include "framework/mdi_frame.h"
#include "framework/view.h"
#include "framework/wait_cursor.h"

namespace fw {

DocTemplate::DocTemplate(int id, int menu_id, int icon_id, std::string doc_string,
                         DocumentKind kind)
    : id_(id), menu_id_(menu_id), icon_id_(icon_id), doc_string_(std::move(doc_string)),
      kind_(std::move(kind)) {}

DocTemplate::~DocTemplate() {
  // Documents still open at the end are closed with their frames.
  while (!documents_.empty()) documents_.back()->OnCloseDocument();
}

std::string DocTemplate::GetDocString(DocString part) const {
  std::size_t start = 0;
  for (int i = 0; i < static_cast<int>(part); ++i) {
    std::size_t next = doc_string_.find('\n', start);
    if (next == std::string::npos) return {};
    start = next + 1;
  }
  std::size_t end = doc_string_.find('\n', start);
  return doc_string_.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool DocTemplate::MatchesFile(const std::string& path) const {
  std::string ext = GetDocString(DocString::FilterExt);
  if (ext.size() < 2 || path.size() < ext.size()) return false;  // "." matches nothing
  return strcasecmp(path.c_str() + path.size() - ext.size(), ext.c_str()) == 0;
}

std::vector<Document*> DocTemplate::documents() const {
  std::vector<Document*> docs;
  for (const auto& doc : documents_) docs.push_back(doc.get());
  return docs;
}

void DocTemplate::DestroyDocument(Document* doc) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [doc](const auto& owned) { return owned.get() == doc; });
  if (it != documents_.end()) documents_.erase(it);
}

Document* DocTemplate::OpenDocumentFile(const char* path, bool visible) {
  Application* app = Application::Instance();
  if (!HasDocumentKind() || app == nullptr || app->mainFrame() == nullptr) return nullptr;

  std::unique_ptr<Document> owned = kind_.makeDocument();
  if (!owned) return nullptr;
  Document* doc = owned.get();
  doc->template_ = this;
  documents_.push_back(std::move(owned));

  ChildFrame* frame = kind_.makeFrame ? kind_.makeFrame() : new ChildFrame;
  View* view = kind_.makeView();
  if (frame == nullptr || view == nullptr) {
    delete frame;
    if (view != nullptr) delete view->widget();
    DestroyDocument(doc);
    return nullptr;
  }
  // From here the view belongs to the document and the frame: closing the document
  // takes both away.
  if (!frame->Create(view, doc, this)) {
    doc->OnCloseDocument();
    return nullptr;
  }
  app->mainFrame()->AddChild(frame);

  bool ok;
  if (path == nullptr) {
    doc->SetTitle(GetDocString(DocString::DocName) + std::to_string(++untitled_count_));
    ok = doc->OnNewDocument();
  } else {
    WaitCursor wait;
    ok = doc->OnOpenDocument(path);
    if (ok) doc->SetPathName(path);
  }
  if (!ok) {
    doc->OnCloseDocument();  // takes the frame and the document away
    return nullptr;
  }
  frame->InitialUpdateFrame(visible);
  return doc;
}

}  // namespace fw
