// Drawing of the folder tree's state pictures. They are small enough to be drawn on
// whole pixels without smoothing, so each keeps to the 16 standard colours.
#include "tree_pictures.h"

#include <QPainter>
#include <QPolygon>

#include "state_strip.h"

namespace resgen {
namespace {

const QColor kYellow(255, 255, 0);
const QColor kDarkYellow(128, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

void ClosedFolder(QPainter& p) {
  p.setPen(kDarkYellow);
  p.setBrush(kYellow);
  p.drawPolygon(QPolygon({QPoint(1, 2), QPoint(2, 1), QPoint(6, 1), QPoint(7, 2), QPoint(14, 2),
                          QPoint(14, 10), QPoint(1, 10)}));
  p.setPen(kBlack);
  p.drawLine(2, 11, 15, 11);  // a shadow under the folder
  p.drawLine(15, 3, 15, 11);
}

void OpenFolder(QPainter& p) {
  p.setPen(kDarkYellow);
  p.setBrush(kDarkYellow);
  p.drawPolygon(QPolygon({QPoint(1, 2), QPoint(2, 1), QPoint(6, 1), QPoint(7, 2), QPoint(12, 2),
                          QPoint(12, 10), QPoint(1, 10)}));
  p.setPen(kBlack);
  p.setBrush(kYellow);
  p.drawPolygon(QPolygon({QPoint(4, 5), QPoint(15, 5), QPoint(12, 10), QPoint(1, 10)}));
}

void PaintState(QPainter& p, int state) {
  switch (state) {
    case 0:  // Unknown
      QuestionMark(p, 1, 2);
      QuestionMark(p, 9, 2);
      break;
    case 1:  // Listed
    case 2:  // Seen
      ClosedFolder(p);
      break;
    case 3:  // Open
      OpenFolder(p);
      break;
    case 4:  // Deleted
      ClosedFolder(p);
      p.setPen(QPen(kRed, 2));
      p.drawLine(3, 1, 13, 10);
      p.drawLine(13, 1, 3, 10);
      break;
    default:  // 5, Moved
      ClosedFolder(p);
      p.setPen(QPen(kRed, 2));
      p.drawLine(4, 6, 13, 6);
      p.setPen(QPen(kRed, 1));
      p.drawLine(11, 3, 14, 6);
      p.drawLine(11, 9, 14, 6);
      break;
  }
}

}  // namespace

QImage DrawFolderStates() { return DrawStateStrip(PaintState); }

}  // namespace resgen
