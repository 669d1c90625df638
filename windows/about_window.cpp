#include "windows/about_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "gui/error_report.h"

namespace {

QLabel* Picture(QWidget* parent, const QPixmap& pixmap, int x, int y) {
  auto* label = new QLabel(parent);
  label->setGeometry(x, y, 65, 70);
  label->setScaledContents(true);
  label->setPixmap(pixmap);
  return label;
}

QLabel* Line(QWidget* parent, const QString& text, int x, int y, int w) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, w, 16);
  return label;
}

}  // namespace

QPixmap DrawStraightKey(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size.width() / 65.0, size.height() / 70.0);
  // Wooden base.
  p.setPen(QPen(QColor(90, 55, 25), 1));
  p.setBrush(QColor(160, 105, 55));
  p.drawRoundedRect(QRectF(3, 52, 59, 12), 3, 3);
  // Pivot posts and the brass lever, pressed a little.
  p.setBrush(QColor(120, 120, 125));
  p.drawRect(QRectF(40, 40, 6, 12));
  p.setPen(QPen(QColor(120, 85, 20), 1));
  p.setBrush(QColor(215, 170, 60));
  QPainterPath lever;
  lever.moveTo(8, 38);
  lever.lineTo(56, 33);
  lever.lineTo(56, 38);
  lever.lineTo(8, 43);
  lever.closeSubpath();
  p.drawPath(lever);
  // Contact under the knob, and the knob.
  p.setBrush(QColor(120, 120, 125));
  p.drawRect(QRectF(14, 46, 6, 6));
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(25, 25, 30));
  p.drawEllipse(QRectF(4, 24, 18, 12));
  p.drawRect(QRectF(11, 34, 4, 6));
  // The spark of a closed contact.
  p.setPen(QPen(QColor(230, 40, 30), 1.5));
  p.drawLine(QPointF(26, 44), QPointF(31, 40));
  p.drawLine(QPointF(26, 48), QPointF(32, 48));
  return pixmap;
}

QPixmap DrawCodeMotif(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size.width() / 65.0, size.height() / 70.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 90, 170));
  p.drawRoundedRect(QRectF(1, 1, 63, 68), 8, 8);
  // "K" in code, dah dit dah: a dit is one unit, a dah three, a gap one.
  p.setBrush(QColor(250, 245, 220));
  const double unit = 6.0;
  double x = 5.5;
  for (int len : {3, 1, 3}) {
    p.drawRoundedRect(QRectF(x, 14, len * unit - 1, 7), 3, 3);
    x += (len + 1) * unit;
  }
  // The tone that carries it: bursts of a sine wave under each element.
  p.setPen(QPen(QColor(140, 230, 140), 1.5));
  p.setBrush(Qt::NoBrush);
  QPainterPath wave;
  x = 5.5;
  wave.moveTo(x, 45);
  for (int len : {3, 1, 3}) {
    const double end = x + len * unit - 1;
    for (double t = x; t <= end; t += 0.5) wave.lineTo(t, 45 - 9 * std::sin((t - x) * 1.6));
    wave.lineTo(std::min(end + unit + 1, 60.0), 45);
    x += (len + 1) * unit;
  }
  p.drawPath(wave);
  return pixmap;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About the Morse teaching program, version 8"));
  setModal(false);
  setFixedSize(364, 193);

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);
  Panel1->setGeometry(4, 4, 356, 150);

  ProgramIcon = Picture(Panel1, DrawStraightKey(QSize(130, 140)), 6, 6);
  Image1 = Picture(Panel1, DrawCodeMotif(QSize(130, 140)), 356 - 6 - 65, 6);

  ProductName = new QLabel(QStringLiteral("Morse teaching program"), Panel1);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  ProductName->setFont(bold);
  ProductName->move(106 - 4, 18 - 4);  // box coordinates, less the panel's place
  ProductName->adjustSize();
  Version = new QLabel(QStringLiteral("Version 8 :  May 2021"), Panel1);
  Version->move(120 - 4, 40 - 4);
  Version->adjustSize();

  Line(Panel1, QStringLiteral("KELTA Morse Teacher, Linux edition: Marlowick"), 16, 88, 320);
  Line(Panel1, QStringLiteral("Free to use, copy and share, at no charge."), 16, 106, 320);
  Line(Panel1, QStringLiteral("It comes with no warranty of any kind."), 16, 124, 320);

  OKButton = new QPushButton(QStringLiteral("&Close"), this);
  OKButton->setGeometry(281, 160, 75, 25);
  OKButton->setDefault(true);
  OKButton->setAutoDefault(true);
  gui::On(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
}

void TAboutBox::ShowAbout() {
  if (!isVisible()) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
    show();
  }
  raise();
  activateWindow();
  OKButton->setFocus();
}

void TAboutBox::OKButtonClick() { hide(); }
