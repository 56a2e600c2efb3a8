// The Qt front end. Dialogs are centred over the frame; the wait cursor is lifted
// while a modal dialog or a message box waits for the user.
#include "qt_front_end.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QWindow>

namespace setup {
namespace {

QString Latin1(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// A note is followed by work that holds the event loop for a long time: the window
// system must have the window on the screen, painted, before that work starts. Waits
// at most a second for the window to be shown (a window manager takes its time).
void PaintNow(QWidget* widget) {
  QElapsedTimer waited;
  waited.start();
  QWindow* window = widget->window()->windowHandle();
  while (window != nullptr && !window->isExposed() && waited.elapsed() < 1000) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  widget->repaint();
  QApplication::processEvents();
}

}  // namespace

QtFrontEnd::QtFrontEnd() {
  frame_.show();
  QApplication::processEvents();
}

QtFrontEnd::~QtFrontEnd() {
  notes_.clear();
  progress_.reset();
  while (wait_cursors_ > 0) SetWaitCursor(false);
}

bool QtFrontEnd::SetBackground(int bitmap) { return frame_.SetBackground(bitmap); }

bool QtFrontEnd::SetTitle(const std::string& title) {
  frame_.SetTitle(Latin1(title));
  return true;
}

bool QtFrontEnd::ShowDialog(const DialogRequest& request, DialogAnswer* answer) {
  SetupDialog dialog(request, &frame_);
  const int cursors = wait_cursors_;
  for (int i = 0; i < cursors; ++i) QApplication::restoreOverrideCursor();
  dialog.exec();
  for (int i = 0; i < cursors; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
  *answer = dialog.answer();
  return true;
}

bool QtFrontEnd::ShowNote(const DialogTemplate& note) {
  DialogRequest request;
  request.dialog = &note;
  request.proc = DialogProc::kModeless;
  auto dialog = std::make_unique<SetupDialog>(request, &frame_);
  dialog->show();
  dialog->raise();
  PaintNow(dialog.get());
  notes_.push_back(std::move(dialog));
  return true;
}

bool QtFrontEnd::CloseNotes() {
  notes_.clear();
  return true;
}

void QtFrontEnd::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kStop ? QMessageBox::Critical : QMessageBox::Warning, Latin1(caption),
                  Latin1(text), QMessageBox::Ok, &frame_);
  const int cursors = wait_cursors_;
  for (int i = 0; i < cursors; ++i) QApplication::restoreOverrideCursor();
  box.exec();
  for (int i = 0; i < cursors; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtFrontEnd::BeginProgress(std::size_t total, int x, int y) {
  progress_ = std::make_unique<QProgressDialog>("Copying files...", "Exit", 0, static_cast<int>(total), &frame_);
  progress_->setWindowTitle("Pellam Setup");
  progress_->setWindowModality(Qt::WindowModal);
  progress_->setMinimumDuration(0);
  progress_->move(frame_.mapToGlobal(QPoint(x, y)));
  progress_->show();
  PaintNow(progress_.get());
}

bool QtFrontEnd::Progress(std::size_t done, const std::string& file) {
  if (!progress_) return true;
  progress_->setValue(static_cast<int>(done));
  if (!file.empty()) progress_->setLabelText("Copying " + Latin1(file));
  QApplication::processEvents();
  return !progress_->wasCanceled();
}

void QtFrontEnd::EndProgress() { progress_.reset(); }

void QtFrontEnd::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++wait_cursors_;
  } else if (wait_cursors_ > 0) {
    QApplication::restoreOverrideCursor();
    --wait_cursors_;
  }
}

void QtFrontEnd::ProcessEvents() { QApplication::processEvents(); }

}  // namespace setup
