// Paste into every kind of text box must neither crash nor lose the box's
// text when the clipboard holds nothing usable. On X11 a clipboard whose
// owner has exited offers mime data without a single format, and Qt 6.4's
// QWidgetTextControl::insertFromMimeData reads the first format of it
// unchecked; an empty QMimeData is that same state on any platform.
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

#include "gui/controls.h"

namespace {

class Paste : public ::testing::Test {
 protected:
  void TearDown() override { QGuiApplication::clipboard()->clear(); }

  static void EmptyClipboard() { QGuiApplication::clipboard()->setMimeData(new QMimeData); }

  static void CtrlV(QWidget* w) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
  }
};

TEST_F(Paste, AnEmptyClipboardLeavesEveryTextBoxAsItWas) {
  QWidget window;
  auto* memo = new gui::Memo(&window);
  auto* edit = new gui::Edit(QStringLiteral("12"), &window);
  auto* spin = new gui::SpinEdit(0, 250, 3, &window);
  memo->SetText(QStringLiteral("typed\r\ntext"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  EmptyClipboard();
  CtrlV(memo);
  memo->paste();
  CtrlV(edit);
  CtrlV(spin->LineEdit());
  EXPECT_EQ(memo->Text(), "typed\r\ntext");
  EXPECT_EQ(edit->Text(), "12");
  EXPECT_EQ(spin->Text(), "3");

  // Nothing usable cannot be dropped either.
  QMimeData nothing;
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &nothing, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(memo->viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &nothing, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(memo->viewport(), &drop);
  EXPECT_EQ(memo->Text(), "typed\r\ntext");
}

TEST_F(Paste, TextOnTheClipboardIsPastedAsPlainText) {
  gui::Memo memo(nullptr);
  memo.SetText(QStringLiteral("ab"));
  memo.SetCaretPos(1);
  auto* data = new QMimeData;
  data->setHtml(QStringLiteral("<b>X</b>"));
  data->setText(QStringLiteral("x\r\ny\nz"));
  QGuiApplication::clipboard()->setMimeData(data);
  memo.paste();
  EXPECT_EQ(memo.Text(), "ax\r\ny\r\nzb");

  // Formats without text paste nothing, and keep the text.
  auto* image = new QMimeData;
  image->setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
  QGuiApplication::clipboard()->setMimeData(image);
  memo.paste();
  EXPECT_EQ(memo.Text(), "ax\r\ny\r\nzb");
}

}  // namespace
