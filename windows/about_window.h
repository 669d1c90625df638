// The about window: the program's name and version, with two pictures drawn
// by the program itself.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  // Shows the box without blocking the main window, or brings it to the
  // front when it is already shown.
  void ShowAbout();
  void OKButtonClick();

  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;
};

// A straight key on its base, and a dit-dah motif over a sound wave, each
// size pixels large.
QPixmap DrawStraightKey(QSize size);
QPixmap DrawCodeMotif(QSize size);
