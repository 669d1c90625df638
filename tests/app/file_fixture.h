// A main window opened in a fresh, empty working directory, where it reads
// and writes its files by their relative names.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "window_fixture.h"

class FileWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    WindowTest::SetUp();
  }
  void TearDown() override {
    form.reset();
    QDir::setCurrent(previous_);
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  QByteArray Read(const QString& name) const {
    QFile f(Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  bool Exists(const QString& name) const { return QFileInfo::exists(Path(name)); }
  // Everything in the folder, hidden files too.
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QTemporaryDir dir_;

 private:
  QString previous_;
};
