#include <QApplication>
#include <QDesktopServices>
#include <QTest>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <gtest/gtest.h>

#include "windows/about_window.h"
#include "windows/help_window.h"

namespace {

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QString Shown(const TFormHelp& help) { return help.HelpBrowser->toPlainText(); }

TEST(HelpViewer, LoadsEachPageAfreshFromItsStartDirectory) {
  QTemporaryDir start;
  ASSERT_TRUE(start.isValid());
  WriteAll(start.filePath("help.htm"), "<html><body><p>Guide one</p></body></html>");
  WriteAll(start.filePath("history.html"), "<html><body><p>History</p></body></html>");

  TFormHelp help;
  help.StartDir = start.path();
  help.OpenPage(TFormHelp::kHelpCaption, TFormHelp::kHelpFile);
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.windowTitle(), "Help File for KELTA morse tester");
  EXPECT_EQ(Shown(help), "Guide one");

  // The same page again is read again.
  WriteAll(start.filePath("help.htm"), "<html><body><p>Guide two</p></body></html>");
  help.OpenPage(TFormHelp::kHelpCaption, TFormHelp::kHelpFile);
  EXPECT_EQ(Shown(help), "Guide two");

  // The open viewer switches page and caption.
  help.OpenPage(TFormHelp::kHistoryCaption, TFormHelp::kHistoryFile);
  EXPECT_EQ(help.windowTitle(), "Version History of KELTA morse tester");
  EXPECT_EQ(Shown(help), "History");
  EXPECT_EQ(QApplication::topLevelWidgets().count(&help), 1);
}

TEST(HelpViewer, AMissingPageNamesThePathLookedFor) {
  QTemporaryDir start;
  TFormHelp help;
  help.StartDir = start.path();
  help.OpenPage(TFormHelp::kHistoryCaption, TFormHelp::kHistoryFile);
  EXPECT_TRUE(Shown(help).contains(start.path() + "/history.html")) << Shown(help).toStdString();

  // Once the page is there, the next command shows it.
  WriteAll(start.filePath("history.html"), "<p>Now here</p>");
  help.OpenPage(TFormHelp::kHistoryCaption, TFormHelp::kHistoryFile);
  EXPECT_EQ(Shown(help), "Now here");
}

// Receives the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls << url; }
};

TEST(HelpViewer, WebLinksGoToTheDesktopBrowserAndLocalLinksStay) {
  QTemporaryDir start;
  WriteAll(start.filePath("help.htm"), "<p><a href=\"https://example.org/qrs\">web</a></p>");
  WriteAll(start.filePath("history.html"), "<p>History</p>");
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  TFormHelp help;
  help.StartDir = start.path();
  // Tab moves to the link, Enter follows it.
  auto follow = [&] {
    help.OpenPage(TFormHelp::kHelpCaption, TFormHelp::kHelpFile);
    help.HelpBrowser->setFocus();
    QTest::keyClick(help.HelpBrowser, Qt::Key_Tab);
    QTest::keyClick(help.HelpBrowser, Qt::Key_Return);
  };
  follow();
  EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl("https://example.org/qrs")});
  EXPECT_EQ(help.HelpBrowser->source(), QUrl::fromLocalFile(start.filePath("help.htm")));

  WriteAll(start.filePath("help.htm"), "<p><a href=\"history.html\">history</a></p>");
  follow();
  EXPECT_EQ(help.HelpBrowser->toPlainText(), "History");
  EXPECT_EQ(catcher.urls.size(), 1);
  QDesktopServices::unsetUrlHandler("https");
}

TEST(AboutBox, OneNonModalFixedBoxHoweverOftenAskedFor) {
  TAboutBox about;
  for (int i = 0; i < 3; ++i) about.ShowAbout();
  int shown = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) shown += w->isVisible() && qobject_cast<TAboutBox*>(w);
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(about.isModal());
  EXPECT_EQ(about.size(), QSize(364, 193));
  EXPECT_EQ(about.minimumSize(), about.maximumSize());
  EXPECT_EQ(about.ProductName->text(), "Morse teaching program");
  EXPECT_TRUE(about.ProductName->font().bold());
  EXPECT_EQ(about.Version->text(), "Version 8 :  May 2021");
  EXPECT_TRUE(about.OKButton->isDefault());
  EXPECT_EQ(about.OKButton->text(), "&Close");
  EXPECT_FALSE(about.ProgramIcon->pixmap().isNull());
  EXPECT_FALSE(about.Image1->pixmap().isNull());
  about.OKButton->click();
  EXPECT_FALSE(about.isVisible());
}

// The pages that accompany the program: every link and picture inside them
// resolves, as QTextBrowser reads them.
class ShippedPage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedPage, EveryLinkAndPictureResolves) {
  const QDir data(QStringLiteral(MARLOWICK_DATA_DIR));
  const QString path = data.filePath(QString::fromLatin1(GetParam()));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  const QString html = QString::fromUtf8(file.readAll());
  EXPECT_FALSE(html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));

  QTextDocument doc;
  doc.setHtml(html);
  QSet<QString> anchors;
  QStringList links;
  QStringList pictures;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      for (const QString& name : f.anchorNames()) anchors.insert(name);
      if (f.isAnchor() && !f.anchorHref().isEmpty()) links << f.anchorHref();
      if (f.isImageFormat()) pictures << f.toImageFormat().name();
    }
  }
  EXPECT_GT(links.size(), 0);
  for (const QString& link : links) {
    const QUrl url(link);
    if (url.scheme() == "http" || url.scheme() == "https" || url.scheme() == "mailto") continue;
    ASSERT_TRUE(url.isRelative()) << link.toStdString();
    const QString target = url.path().isEmpty() ? path : data.filePath(url.path());
    EXPECT_TRUE(QFileInfo(target).isFile()) << "link " << link.toStdString();
    if (url.hasFragment()) {
      if (url.path().isEmpty()) {
        EXPECT_TRUE(anchors.contains(url.fragment())) << "anchor " << link.toStdString();
      } else {
        QFile other(target);
        ASSERT_TRUE(other.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(other.readAll());
        EXPECT_TRUE(text.contains(QStringLiteral("name=\"%1\"").arg(url.fragment())) ||
                    text.contains(QStringLiteral("id=\"%1\"").arg(url.fragment())))
            << "anchor " << link.toStdString();
      }
    }
  }
  for (const QString& picture : pictures) {
    EXPECT_TRUE(QFileInfo(data.filePath(picture)).isFile()) << "picture " << picture.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, ShippedPage, ::testing::Values("help.htm", "history.html"));

}  // namespace

#include "help_about_test.moc"
