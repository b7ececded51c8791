// Help from the button and F1, the About box from the logo, and its links.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTest>

#include "tests/ui/dialog_harness.h"
#include "ui/about_dialog.h"

namespace bracken::testing {
namespace {

TEST(Help, ButtonAndF1OpenTheHelpBesideTheProgramWhereverItStarted) {
  RecordingShell shell;
  DialogUnderTest ui;
  const QString previous = QDir::currentPath();
  ScratchFolder elsewhere;
  QDir::setCurrent(QString::fromStdString(elsewhere.Path("").string()));

  ui.Click(1005);
  ui.PressKey(1011, Qt::Key_F1);
  QDir::setCurrent(previous);

  const QUrl expected =
      QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).filePath("HelpFile.html"));
  ASSERT_EQ(shell.opened.size(), 2u);
  EXPECT_EQ(shell.opened[0], expected);
  EXPECT_EQ(shell.opened[1], expected);
  EXPECT_EQ(shell.states[0], ui::WindowState::Maximised);
  EXPECT_TRUE(ui.dialog->isVisible());
}

// With no program to open them, help and the web pages say what to open by
// hand; the program goes on (or leaves, after Exit) as it would otherwise.
TEST(Help, WithNothingToOpenItAMessageGivesTheHelpFilesPath) {
  RecordingShell shell;
  shell.fails = true;
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.Click(1005);
  ui.PressKey(1011, Qt::Key_F1);
  const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("HelpFile.html");
  const QString text =
      "The help could not be opened: no program on this system opens it. Open the help file by "
      "hand:\n\n" +
      path;
  ASSERT_EQ(answerer.seen.size(), 2u);
  for (const SeenBox& box : answerer.seen) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Message");
    EXPECT_EQ(box.buttons, "OK");
  }
  EXPECT_TRUE(ui.dialog->isVisible());
}

TEST(Help, WithNothingToOpenItExitGivesTheWebPagesAddressAndLeaves) {
  RecordingShell shell;
  shell.fails = true;
  ModalAnswerer answerer;
  answerer.AnswerYes();
  DialogUnderTest ui;
  ui.Click(1006);
  ASSERT_EQ(answerer.seen.size(), 2u);
  EXPECT_EQ(answerer.seen[1].text,
            "The web page could not be opened: no program on this system opens it. Its address "
            "is:\n\nhttps://bracken.quillon.dev/");
  EXPECT_EQ(answerer.seen[1].caption, "Message");
  EXPECT_FALSE(ui.dialog->isVisible());
}

TEST(About, TheLogoOpensTheBoxOverTheWindow) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.Click(1025);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].buttons, "about");
  EXPECT_EQ(answerer.seen[0].caption, "Quillon Database Converter - Bracken");
  EXPECT_TRUE(ui.dialog->isVisible());
}

TEST(About, LinksOpenMailAndWebPagesAndShowTheHandCursor) {
  RecordingShell shell;
  ModalAnswerer answerer;
  ui::CAboutDlg about(nullptr);
  about.show();
  QStringList plain;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (label->objectName().isEmpty()) plain << label->text();
  }
  EXPECT_TRUE(plain.contains("Quillon Database Converter - Bracken"));
  EXPECT_TRUE(plain.contains("Version : 4.0.1.6"));
  EXPECT_TRUE(plain.contains("Email:"));

  for (const char* id : {"1041", "1042", "1033"}) {
    auto* link = about.findChild<QLabel*>(id);
    ASSERT_NE(link, nullptr) << id;
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << id;
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 70, 213)) << id;
    QTest::mouseClick(link, Qt::LeftButton);
  }
  ASSERT_EQ(shell.opened.size(), 3u);
  EXPECT_EQ(shell.opened[0], QUrl("mailto:support@quillon.dev"));
  EXPECT_EQ(shell.opened[1], QUrl("https://bracken.quillon.dev/"));
  EXPECT_EQ(shell.opened[2], QUrl("https://bracken.quillon.dev/support"));
  EXPECT_EQ(shell.states[0], ui::WindowState::Default);
  EXPECT_TRUE(answerer.seen.empty());
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (label->objectName().isEmpty()) {
      EXPECT_EQ(label->cursor().shape(), Qt::ArrowCursor) << label->text().toStdString();
    }
  }
}

TEST(About, LinksWithNothingToOpenThemGiveTheAddress) {
  RecordingShell shell;
  shell.fails = true;
  ModalAnswerer answerer;
  ui::CAboutDlg about(nullptr);
  about.show();
  for (const char* id : {"1041", "1042", "1033"}) {
    QTest::mouseClick(about.findChild<QLabel*>(id), Qt::LeftButton);
  }
  EXPECT_EQ(answerer.Texts(),
            (QStringList{"No mail program could be started. Write to:\n\nsupport@quillon.dev",
                         "The web page could not be opened: no program on this system opens it. "
                         "Its address is:\n\nhttps://bracken.quillon.dev/",
                         "The web page could not be opened: no program on this system opens it. "
                         "Its address is:\n\nhttps://bracken.quillon.dev/support"}));
  for (const SeenBox& box : answerer.seen) EXPECT_EQ(box.caption, "Message");
}

}  // namespace
}  // namespace bracken::testing
