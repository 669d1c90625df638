// The help viewer: shows the help and version-history pages.
#pragma once

#include <QWidget>

class TFormHelp : public QWidget {
  Q_OBJECT
 public:
  explicit TFormHelp(QWidget* parent = nullptr);
};
