// Drawing of the folder list's state pictures. Like the tree's, they are drawn on whole
// pixels without smoothing and keep to the 16 standard colours.
#include "message_pictures.h"

#include <QPainter>
#include <QPolygon>

#include "state_strip.h"

namespace resgen {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kNavy(0, 0, 128);

// The body of an envelope from (1, top) to (14, 10), with its shadow.
void EnvelopeBody(QPainter& p, int top) {
  p.setPen(kBlack);
  p.setBrush(kWhite);
  p.drawRect(1, top, 13, 10 - top);
  p.setPen(kGrey);
  p.drawLine(2, 11, 15, 11);
  p.drawLine(15, top + 1, 15, 11);
}

void ClosedEnvelope(QPainter& p) {
  EnvelopeBody(p, 3);
  p.setPen(kBlack);
  p.drawLine(1, 3, 7, 7);
  p.drawLine(14, 3, 8, 7);
}

void OpenFlap(QPainter& p) {
  p.setPen(kBlack);
  p.setBrush(kWhite);
  p.drawPolygon(QPolygon({QPoint(1, 5), QPoint(7, 0), QPoint(8, 0), QPoint(14, 5)}));
}

void SeenEnvelope(QPainter& p) {
  OpenFlap(p);
  EnvelopeBody(p, 5);
  p.setPen(kBlack);
  p.drawLine(1, 10, 6, 6);
  p.drawLine(14, 10, 9, 6);
}

void OpenEnvelope(QPainter& p) {
  OpenFlap(p);
  // The letter out of the envelope, with two lines of writing.
  p.setPen(kBlack);
  p.setBrush(kWhite);
  p.drawRect(4, 1, 7, 7);
  p.setPen(kNavy);
  p.drawLine(5, 3, 9, 3);
  p.drawLine(5, 5, 9, 5);
  p.setPen(kBlack);
  p.setBrush(kWhite);
  p.drawPolygon(QPolygon({QPoint(1, 6), QPoint(7, 9), QPoint(8, 9), QPoint(14, 6), QPoint(14, 10), QPoint(1, 10)}));
  p.setPen(kGrey);
  p.drawLine(2, 11, 15, 11);
  p.drawLine(15, 7, 15, 11);
}

void PaintState(QPainter& p, int state) {
  switch (state) {
    case 0:  // Unknown
      QuestionMark(p, 5, 2);
      break;
    case 1:  // Listed
      ClosedEnvelope(p);
      break;
    case 2:  // Seen
      SeenEnvelope(p);
      break;
    case 3:  // Open in a message window
      OpenEnvelope(p);
      break;
    case 4:  // Deleted
      ClosedEnvelope(p);
      p.setPen(QPen(kRed, 2));
      p.drawLine(3, 2, 12, 10);
      p.drawLine(12, 2, 3, 10);
      break;
    default:  // 5, Moved
      ClosedEnvelope(p);
      p.setPen(QPen(kRed, 2));
      p.drawLine(3, 8, 12, 8);
      p.setPen(QPen(kRed, 1));
      p.drawLine(10, 5, 13, 8);
      p.drawLine(10, 11, 13, 8);
      break;
  }
}

}  // namespace

QImage DrawMessageStates() { return DrawStateStrip(PaintState); }

}  // namespace resgen
