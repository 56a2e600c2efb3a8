// Document templates: one per kind of child window, with its id, the factories of its
// document, frame and view, its menu and icon, and its document string. A template
// opens documents (new or from a path) in a new child frame and owns them until they
// close.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

class ChildFrame;
class Document;
class View;

// The classes behind one kind of window. Without a document and a view factory the
// kind opens no window; without a frame factory it uses a plain child frame.
struct DocumentKind {
  std::function<std::unique_ptr<Document>()> makeDocument;
  std::function<ChildFrame*()> makeFrame;
  std::function<View*()> makeView;
};

class DocTemplate {
 public:
  // The parts of the document string, in their order (separated by "\n").
  enum class DocString {
    WindowTitle,
    DocName,
    FileNewName,
    FilterName,
    FilterExt,
    RegFileTypeId,
    RegFileTypeName
  };

  DocTemplate(int id, int menu_id, int icon_id, std::string doc_string, DocumentKind kind);
  ~DocTemplate();
  DocTemplate(const DocTemplate&) = delete;
  DocTemplate& operator=(const DocTemplate&) = delete;

  int id() const { return id_; }
  int menuId() const { return menu_id_; }
  int iconId() const { return icon_id_; }
  std::string GetDocString(DocString part) const;

  bool HasDocumentKind() const { return kind_.makeDocument && kind_.makeView; }
  void SetDocumentKind(DocumentKind kind) { kind_ = std::move(kind); }

  // Opens a document in a new frame: with `path` null a new document titled with the
  // document name and a running number, else the document loaded from `path`. Null
  // when the kind is missing or the document refuses; the frame is then gone again.
  Document* OpenDocumentFile(const char* path, bool visible = true);

  // The open documents, oldest first.
  std::vector<Document*> documents() const;

  // True when `path` ends with this template's filter extension (ignoring case).
  bool MatchesFile(const std::string& path) const;

 private:
  friend class Document;
  void DestroyDocument(Document* doc);

  int id_;
  int menu_id_;
  int icon_id_;
  std::string doc_string_;
  DocumentKind kind_;
  int untitled_count_ = 0;
  std::vector<std::unique_ptr<Document>> documents_;
};

}  // namespace fw
