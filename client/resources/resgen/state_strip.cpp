// The strip of state pictures and the question mark.
#include "state_strip.h"

namespace resgen {

QImage DrawStateStrip(const std::function<void(QPainter&, int)>& paint) {
  QImage strip(kStateWidth * kStateCount, kStateHeight, QImage::Format_ARGB32);
  strip.fill(Qt::transparent);
  QPainter p(&strip);
  for (int state = 0; state < kStateCount; ++state) {
    p.save();
    p.translate(kStateWidth * state, 0);
    p.setClipRect(0, 0, kStateWidth, kStateHeight);
    paint(p, state);
    p.restore();
  }
  return strip;
}

void QuestionMark(QPainter& p, int x, int y) {
  static const char* const kRows[] = {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."};
  p.setPen(QColor(255, 0, 0));
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 5; ++column) {
      if (kRows[row][column] == '#') p.drawPoint(x + column, y + row);
    }
  }
}

}  // namespace resgen
