// CTreeView, the view of the folder tree window: the document's lines, indented by
// depth with their state pictures, in a scrolling window. A click selects a line (or
// clears the selection), a double click opens that folder's window, Delete Folder
// removes the selected empty folder, Refresh builds the tree again. The keys move the
// selection, open and delete as in the folder list (list_keys.h). It reaches the rest
// of the client only through the services it is made with.
#pragma once

#include <QAbstractScrollArea>

#include <string>

#include "app/client_services.h"
#include "framework/view.h"
#include "tree/tree_layout.h"
#include "tree/tree_painter.h"

namespace pelldesk {

class CTreeDoc;

class CTreeView : public QAbstractScrollArea, public fw::View {
  Q_OBJECT

 public:
  explicit CTreeView(const ClientServices& services);

  QWidget* widget() override { return this; }
  CTreeDoc* treeDoc() const;

  void OnInitialUpdate() override;
  // Hint 0: a new layout and a full repaint; hint n > 0: line n - 1 only.
  void OnUpdate(fw::View* sender, long hint, const std::string* text) override;

  // Selects entry `index` (-1: none), repainting the lines concerned.
  void Select(int index);

  int imageWidth() const { return pictures_.imageWidth; }
  int imageHeight() const { return pictures_.imageHeight; }
  int imageCount() const { return pictures_.imageCount; }
  int lineHeight() const { return lineHeight_; }
  int selected() const { return selected_; }
  const TreeScrollSizes& scrollSizes() const { return sizes_; }
  // What the screen and the printer draw from.
  TreeDrawing Drawing() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QFont LayoutFont() const;
  void Layout();
  void UpdateScrollBars();
  void RepaintLine(int index);
  void ResizeParentToFit();
  bool CanDeleteSelected() const;
  void DeleteSelected();
  // Opens the selected folder's window (or rebuilds the tree, for the root line).
  void OpenSelected();
  void Print();
  void PrintPreview();

  ClientServices services_;
  StatePictures pictures_;
  int lineHeight_ = -1;
  int selected_ = -1;
  TreeScrollSizes sizes_;
  // The selected folder's path: a rebuild that puts another folder on that line
  // clears the selection rather than let Delete Folder reach the wrong folder.
  std::string selectedPath_;
};

}  // namespace pelldesk
