// Documents: the data behind child windows, with a path name, a title, a modified flag,
// the views that show them and update hints passed to those views. A document kind
// derives from Document and overrides the operations it needs; Document itself holds
// no widget, so documents can be driven by tests without any window.
#pragma once

#include <string>
#include <vector>

#include "framework/command_target.h"

namespace fw {

class ChildFrame;
class DocTemplate;
class View;

class Document : public CommandTarget {
 public:
  Document();
  ~Document() override;

  const std::string& pathName() const { return path_name_; }
  // Takes `path` as the path name and its final name as the title (SetTitle).
  virtual void SetPathName(const std::string& path);

  const std::string& title() const { return title_; }
  // Sets the title and with it the captions of the document's frames.
  virtual void SetTitle(const std::string& title);

  bool IsModified() const { return modified_; }
  void SetModifiedFlag(bool modified = true);

  DocTemplate* docTemplate() const { return template_; }
  const std::vector<View*>& views() const { return views_; }

  void AddView(View* view);
  // Removes a view; the document closes itself when its last view goes.
  void RemoveView(View* view);

  // Tells every view but `sender` what changed: hint 0 means everything; the meaning
  // of other hints and of `text` belongs to the document kind.
  void UpdateAllViews(View* sender, long hint = 0, const std::string* text = nullptr);

  // A new, empty document: clears the contents and the modified flag.
  virtual bool OnNewDocument();
  // Loads `path`; a kind that opens anything overrides this (the base opens nothing).
  virtual bool OnOpenDocument(const std::string& path);
  // Writes the document to `path`; the base writes nothing and fails.
  virtual bool OnSaveDocument(const std::string& path);
  // Closes every frame of the document and deletes it (when a template owns it);
  // nothing of the document may be used afterwards.
  virtual void OnCloseDocument();
  // Frees what the document holds.
  virtual void DeleteContents() {}

  // Whether `frame` may close: the last frame of a document asks to save a modified one.
  virtual bool CanCloseFrame(ChildFrame* frame);
  // Asks "Save changes to ...?" for a modified document: Yes saves, No discards,
  // Cancel (or a failed save) keeps the document open. True when it may close.
  virtual bool SaveModified();

  // Save (to the path name, or as a new file when there is none) and Save As.
  bool DoFileSave();
  bool DoSave(const std::string& path);

 private:
  friend class DocTemplate;
  std::string path_name_;
  std::string title_;
  bool modified_ = false;
  bool closing_ = false;
  DocTemplate* template_ = nullptr;
  std::vector<View*> views_;
};

}  // namespace fw
