// The setup frame: a window over the whole screen with the background picture (a
// gradient from deep blue to black) and the frame's title, behind every dialog.
#pragma once

#include <QString>
#include <QWidget>

namespace setup {

class FrameWindow : public QWidget {
 public:
  FrameWindow();

  // Bitmap 1 is the only background there is; false for any other number.
  bool SetBackground(int bitmap);
  void SetTitle(const QString& title);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool background_ = false;
  QString title_;
};

}  // namespace setup
