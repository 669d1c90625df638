// The volume and recording window fmMain; it is never shown.
#pragma once

#include <QWidget>

class TfmMain : public QWidget {
  Q_OBJECT
 public:
  explicit TfmMain(QWidget* parent = nullptr);
};

extern TfmMain* fmMain;
