// Views: the widgets that show a document inside a child frame. A view kind derives
// from a Qt widget class and from View, and answers widget() with itself.
#pragma once

#include <string>

#include "framework/command_target.h"

class QWidget;

namespace fw {

class ChildFrame;
class Document;

class View : public CommandTarget {
 public:
  ~View() override;

  virtual QWidget* widget() = 0;

  Document* document() const { return document_; }
  ChildFrame* frame() const { return frame_; }

  // Runs command `id` as its menu item would (through the main frame's router, when
  // enabled there); true when it ran.
  bool ExecuteCommand(int id);

  // Once, when the frame is first shown: the base asks for a full update.
  virtual void OnInitialUpdate();
  // The document changed (see Document::UpdateAllViews); the base repaints.
  virtual void OnUpdate(View* sender, long hint, const std::string* text);

 private:
  friend class Document;
  friend class ChildFrame;
  Document* document_ = nullptr;
  ChildFrame* frame_ = nullptr;
};

}  // namespace fw
