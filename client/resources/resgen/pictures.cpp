// Drawing of the client's pictures. Shapes are drawn on a 16-unit grid (icons) and
// scaled, so that each picture reads the same at any size.
#include "pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace resgen {
namespace {

const QColor kPaper(250, 250, 244);
const QColor kInk(40, 40, 60);
const QColor kBlue(38, 88, 160);
const QColor kFolder(236, 190, 70);
const QColor kFolderDark(170, 125, 30);
const QColor kRed(200, 40, 40);
const QColor kGreen(40, 140, 60);

QPen Pen(const QColor& color, qreal width = 1.0) {
  QPen pen(color, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

// An envelope in the rectangle, flap drawn as a V.
void Envelope(QPainter& p, const QRectF& r) {
  p.setPen(Pen(kInk, 0.8));
  p.setBrush(kPaper);
  p.drawRect(r);
  QPainterPath flap;
  flap.moveTo(r.topLeft());
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.55);
  flap.lineTo(r.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

// A page with text lines.
void Page(QPainter& p, const QRectF& r) {
  p.setPen(Pen(kInk, 0.8));
  p.setBrush(kPaper);
  p.drawRect(r);
  p.setPen(Pen(QColor(120, 120, 150), 0.7));
  for (qreal y = r.top() + 2.5; y < r.bottom() - 1.5; y += 2.2) {
    p.drawLine(QPointF(r.left() + 1.8, y), QPointF(r.right() - 1.8, y));
  }
}

void Folder(QPainter& p, const QRectF& r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top() + r.height() * 0.2);
  path.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.2);
  path.lineTo(r.left() + r.width() * 0.45, r.top());
  path.lineTo(r.right(), r.top());
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(Pen(kFolderDark, 0.8));
  p.setBrush(kFolder);
  p.drawPath(path);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width) {
  p.setPen(Pen(color, width));
  p.drawLine(from, to);
  QLineF line(to, from);
  QLineF a = line;
  a.setLength(width * 2.2);
  a.setAngle(line.angle() + 35);
  QLineF b = line;
  b.setLength(width * 2.2);
  b.setAngle(line.angle() - 35);
  p.drawLine(a);
  p.drawLine(b);
}

void Star(QPainter& p, QPointF centre, qreal radius, const QColor& color) {
  QPainterPath path;
  for (int i = 0; i < 10; ++i) {
    qreal r = (i % 2 == 0) ? radius : radius * 0.45;
    QLineF ray(centre, centre + QPointF(0, -r));
    ray.setAngle(90 + i * 36);
    if (i == 0) {
      path.moveTo(ray.p2());
    } else {
      path.lineTo(ray.p2());
    }
  }
  path.closeSubpath();
  p.setPen(Pen(color.darker(140), 0.5));
  p.setBrush(color);
  p.drawPath(path);
}

// Paints on a transparent image of `width` x `height`, with a 16 x 15 (or 16 x 16)
// unit coordinate system.
QImage Draw(int width, int height, qreal units_x, qreal units_y,
            const std::function<void(QPainter&)>& paint) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(width / units_x, height / units_y);
  paint(p);
  return image;
}

void PaintIcon(QPainter& p, int id) {
  switch (id) {
    case 128:  // main window: an envelope on a blue tile
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
      Envelope(p, QRectF(2.5, 4.5, 11, 7.5));
      break;
    case 129:  // a message
      Page(p, QRectF(3.5, 1.5, 9, 13));
      Envelope(p, QRectF(1.5, 8.5, 8, 6));
      break;
    case 130:  // a folder
      Folder(p, QRectF(1.5, 3.5, 13, 10));
      Page(p, QRectF(4.5, 5.5, 7, 5));
      break;
    case 131:  // a folder tree
      p.setPen(Pen(kInk, 0.8));
      p.drawLine(QPointF(3.5, 6), QPointF(3.5, 13));
      p.drawLine(QPointF(3.5, 9.5), QPointF(7, 9.5));
      p.drawLine(QPointF(3.5, 13), QPointF(7, 13));
      Folder(p, QRectF(1, 1.5, 6, 4.5));
      Folder(p, QRectF(7.5, 7.5, 6, 4));
      Folder(p, QRectF(7.5, 11.5, 6, 4));
      break;
    case 132:  // an outgoing message
      Envelope(p, QRectF(1.5, 5.5, 10, 7));
      Arrow(p, QPointF(9, 10), QPointF(14.5, 3), kGreen, 1.3);
      break;
    default:  // 133, new mail: an envelope with a red star
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 236, 140));
      p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
      Envelope(p, QRectF(2, 5, 10.5, 7.5));
      Star(p, QPointF(12, 4.2), 3.6, kRed);
      break;
  }
}

void PaintButton(QPainter& p, int index) {
  switch (index) {
    case 0:  // New
      Envelope(p, QRectF(1.5, 4.5, 11, 8));
      Star(p, QPointF(12.5, 3.5), 3, QColor(250, 200, 40));
      break;
    case 1:  // Reply
      Page(p, QRectF(6.5, 1.5, 8, 12));
      Arrow(p, QPointF(9, 9), QPointF(1.5, 9), kBlue, 1.6);
      break;
    case 2:  // Forward
      Page(p, QRectF(1.5, 1.5, 8, 12));
      Arrow(p, QPointF(6, 9), QPointF(14.5, 9), kBlue, 1.6);
      break;
    case 3:  // Post
      Envelope(p, QRectF(1.5, 6.5, 10, 7));
      Arrow(p, QPointF(9.5, 9.5), QPointF(14.5, 2), kGreen, 1.6);
      break;
    case 4:  // Cancel
      p.setPen(Pen(kRed, 2.2));
      p.drawLine(QPointF(3.5, 3), QPointF(12.5, 12));
      p.drawLine(QPointF(12.5, 3), QPointF(3.5, 12));
      break;
    case 5: {  // Delete: a waste bin
      p.setPen(Pen(kInk, 0.9));
      p.setBrush(QColor(190, 195, 205));
      QPainterPath bin;
      bin.moveTo(3.5, 4.5);
      bin.lineTo(12.5, 4.5);
      bin.lineTo(11.5, 14);
      bin.lineTo(4.5, 14);
      bin.closeSubpath();
      p.drawPath(bin);
      p.drawRect(QRectF(2.5, 2.5, 11, 2));
      p.drawLine(QPointF(6.5, 6.5), QPointF(6.8, 12.5));
      p.drawLine(QPointF(9.5, 6.5), QPointF(9.2, 12.5));
      break;
    }
    case 6:  // Move
      Folder(p, QRectF(1.5, 5.5, 10, 8));
      Arrow(p, QPointF(8, 5), QPointF(14.5, 1.5), kBlue, 1.4);
      break;
    case 7:  // Close: a window with a cross
      p.setPen(Pen(kInk, 0.9));
      p.setBrush(kPaper);
      p.drawRect(QRectF(1.5, 2.5, 13, 11));
      p.setBrush(kBlue);
      p.drawRect(QRectF(1.5, 2.5, 13, 2.5));
      p.setPen(Pen(kRed, 1.5));
      p.drawLine(QPointF(5.5, 7), QPointF(10.5, 12));
      p.drawLine(QPointF(10.5, 7), QPointF(5.5, 12));
      break;
    case 8:  // Cut: scissors
      p.setPen(Pen(kInk, 1.1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(2, 9.5, 4, 4));
      p.drawEllipse(QRectF(10, 9.5, 4, 4));
      p.drawLine(QPointF(5.5, 10), QPointF(11, 1.5));
      p.drawLine(QPointF(10.5, 10), QPointF(5, 1.5));
      break;
    case 9:  // Copy: two pages
      Page(p, QRectF(1.5, 1.5, 8, 9));
      Page(p, QRectF(6.5, 5.5, 8, 9));
      break;
    case 10:  // Paste: a clipboard
      p.setPen(Pen(kFolderDark, 0.9));
      p.setBrush(QColor(205, 160, 100));
      p.drawRoundedRect(QRectF(2.5, 2.5, 10, 12), 1, 1);
      p.setBrush(QColor(170, 170, 180));
      p.drawRect(QRectF(5, 1, 5, 3));
      Page(p, QRectF(6.5, 6.5, 8, 8));
      break;
    case 11:  // Print: a printer
      Page(p, QRectF(4.5, 1.5, 7, 6));
      p.setPen(Pen(kInk, 0.9));
      p.setBrush(QColor(160, 165, 175));
      p.drawRoundedRect(QRectF(1.5, 6.5, 13, 5.5), 1, 1);
      p.setBrush(kPaper);
      p.drawRect(QRectF(4.5, 10.5, 7, 3.5));
      p.setPen(Pen(kGreen, 1.2));
      p.drawPoint(QPointF(12.5, 8.3));
      break;
    default: {  // About: a question mark on a blue disc
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(QRectF(1.5, 1, 13, 13));
      p.setPen(Pen(Qt::white, 1.8));
      QPainterPath hook;
      hook.moveTo(5.8, 5.6);
      hook.cubicTo(5.8, 2.4, 10.6, 2.4, 10.4, 5.6);
      hook.cubicTo(10.2, 7.6, 8, 7.4, 8, 9.4);
      p.setBrush(Qt::NoBrush);
      p.drawPath(hook);
      p.drawPoint(QPointF(8, 11.8));
      break;
    }
  }
}

}  // namespace

QImage DrawIcon(int id, int size) {
  return Draw(size, size, 16, 16, [id](QPainter& p) { PaintIcon(p, id); });
}

QImage DrawToolBar() {
  const int buttons = 13;
  QImage strip(16 * buttons, 15, QImage::Format_ARGB32_Premultiplied);
  strip.fill(Qt::transparent);
  QPainter p(&strip);
  for (int i = 0; i < buttons; ++i) {
    p.drawImage(16 * i, 0, Draw(16, 15, 16, 15, [i](QPainter& q) { PaintButton(q, i); }));
  }
  return strip;
}

QImage DrawSplash() {
  const int width = 420;
  const int height = 240;
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor(26, 60, 120));
  sky.setColorAt(1, QColor(70, 130, 200));
  p.fillRect(image.rect(), sky);

  // A stream of envelopes crossing the picture.
  p.save();
  for (int i = 0; i < 5; ++i) {
    p.save();
    p.translate(40 + i * 78, 180 - i * 14);
    p.rotate(-8 + i * 4);
    p.scale(3.2 - i * 0.35, 3.2 - i * 0.35);
    p.setOpacity(0.55 + i * 0.1);
    Envelope(p, QRectF(0, 0, 12, 8));
    p.restore();
  }
  p.restore();

  p.setPen(Qt::white);
  QFont title("DejaVu Sans", 40, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(0, 18, width, 60), Qt::AlignHCenter, "Pellam");
  QFont line("DejaVu Sans", 11);
  p.setFont(line);
  p.drawText(QRect(0, 80, width, 24), Qt::AlignHCenter, "Personal mail for mail-11 networks");
  p.setPen(QColor(220, 230, 245));
  p.drawText(QRect(0, height - 30, width, 20), Qt::AlignHCenter, "Starting...");
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(1, 1, width - 2, height - 2));
  return image;
}

}  // namespace resgen
