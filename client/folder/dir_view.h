// CDirView, the view of a folder window: one line per message file with its number,
// state picture, receive date and time, sender and subject, in the document's order.
// A click selects a live line (or clears the selection), a double click opens the
// message, the keys move the selection, open and delete (list_keys.h), Move and Delete act on the selected message through the folder operations,
// Find searches the senders or subjects, and the list prints with print preview. It
// reaches the rest of the client only through the services it is made with.
#pragma once

#include <QAbstractScrollArea>

#include <string>
#include <vector>

#include "app/client_services.h"
#include "folder/dir_layout.h"
#include "folder/dir_painter.h"
#include "framework/view.h"

class QPrinter;

namespace pelldesk {

class CDirDoc;
class CDirFrame;

class CDirView : public QAbstractScrollArea, public fw::View {
  Q_OBJECT

 public:
  explicit CDirView(const ClientServices& services);

  QWidget* widget() override { return this; }
  CDirDoc* dirDoc() const;

  void OnInitialUpdate() override;
  // Hint 0: a new layout and a full repaint; hint n > 0: line n - 1 only;
  // kHintEntriesChanged: the document's changed entries only.
  void OnUpdate(fw::View* sender, long hint, const std::string* text) override;

  // Selects entry `index` (-1: none), repainting the lines concerned.
  void Select(int index);
  int selection() const { return selection_; }
  const DirLayout& layout() const { return layout_; }
  const DirScrollSizes& scrollSizes() const { return sizes_; }
  const EntryPictures& pictures() const { return pictures_; }
  // The line texts of the last full layout, one per entry.
  const std::vector<RowTexts>& rowTexts() const { return rows_; }

  // The commands' work, public so that tests can run them without a menu.
  void OpenSelected();
  void MoveSelected();
  void DeleteSelected();
  void OpenFindDialog();
  void FindNext();
  // Searches from the selection; selects and shows the match, or clears the selection.
  bool Search(const std::string& text, bool down, bool matchCase, int matchIn);
  // Prints the list on `printer` with the printer font made from the display font.
  bool PrintTo(QPrinter& printer);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void showEvent(QShowEvent* event) override;

 private:
  QFont DisplayFont() const;
  CDirFrame* dirFrame() const;
  void Layout();
  // The lines of `changed` read again and the columns widened for them.
  void UpdateRows(const std::vector<int>& changed);
  void UpdateScrollBars();
  void RepaintRow(int index);
  void ShrinkFrameToFit();
  void ScrollToShow(int row, bool down);
  // The selected entry when it is live: its path, else empty.
  std::string SelectedLivePath() const;
  void OnFindDialogNext();
  void Print();
  void PrintPreview();

  ClientServices services_;
  EntryPictures pictures_;
  DirLayout layout_;
  DirScrollSizes sizes_;
  std::vector<RowTexts> rows_;
  int rowHeight_ = -1;  // -1 until the first layout
  int selection_ = -1;
  bool shrinkOnShow_ = false;  // the first update came before the frame was shown
  // The selected message's path: a reload that puts another message on that line
  // clears the selection rather than let Move or Delete reach the wrong message.
  std::string selectedPath_;
};

}  // namespace pelldesk
