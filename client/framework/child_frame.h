// Multiple-document child frames: the window around one view inside the main frame's
// MDI area. A frame closes through its document (which may refuse or ask to save) and
// is destroyed later, once Qt has left its event handlers.
#pragma once

#include <QMdiSubWindow>

#include "framework/command_target.h"

namespace fw {

class DocTemplate;
class Document;
class View;

// Show commands of ActivateFrame and of the main window.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_RESTORE = 9;

class ChildFrame : public QMdiSubWindow, public CommandTarget {
  Q_OBJECT

 public:
  ChildFrame();
  ~ChildFrame() override;

  // Attaches `view` to `doc` and to this frame and builds the frame's client. The view
  // belongs to the document from the start, even when the client cannot be built.
  bool Create(View* view, Document* doc, DocTemplate* doc_template);

  View* view() const { return view_; }
  Document* document() const;
  DocTemplate* docTemplate() const { return template_; }
  bool IsDestroying() const { return destroying_; }

  // The view's first update, then (when visible) shown and activated.
  void InitialUpdateFrame(bool visible);
  // The caption: the document's title.
  void UpdateTitle();
  // Brings the frame to the front; SW_RESTORE and SW_SHOWMAXIMIZED change its size,
  // -1 keeps it.
  void ActivateFrame(int show_command = -1);
  // Detaches the view from its document, hides the frame and deletes it later.
  void DestroyFrame();

 protected:
  // Builds the client area around the view; the base shows the view alone.
  virtual bool OnCreateClient(View* view);
  void closeEvent(QCloseEvent* event) override;

 private:
  // The other child that was active most recently, or null.
  ChildFrame* LastActiveSibling() const;

  View* view_ = nullptr;
  DocTemplate* template_ = nullptr;
  bool destroying_ = false;
};

}  // namespace fw
