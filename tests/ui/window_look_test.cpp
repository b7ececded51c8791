// How the window looks to keyboard users and on small screens: focus marks
// on the picture buttons, long table names, long message texts, a scaled
// screen, and the server field's host:port. Also the one product version.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

#include "tests/ui/dialog_harness.h"
#include "ui/check_list_box.h"
#include "ui/image_button.h"
#include "ui/message_box.h"
#include "ui/screen_fit.h"
#include "ui/server_address.h"

namespace bracken::testing {
namespace {

QImage Picture(QWidget* widget) { return widget->grab().toImage(); }

TEST(FocusMarks, PictureButtonsShowTheKeyboardFocusAndNotTheMouseFocus) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  for (int id : {1001, 1005, 1006, 1025}) {
    QWidget* button = ui.Widget(id);
    ui.Widget(1011)->setFocus(Qt::OtherFocusReason);
    const QImage plain = Picture(button);
    // Focus given by the mouse draws nothing.
    button->setFocus(Qt::MouseFocusReason);
    ui.dialog->setAttribute(Qt::WA_KeyboardFocusChange, false);
    EXPECT_EQ(Picture(button), plain) << id;
    // Tabbing to it draws the mark.
    button->setFocus(Qt::TabFocusReason);
    ui.dialog->setAttribute(Qt::WA_KeyboardFocusChange, true);
    EXPECT_NE(Picture(button), plain) << id;
  }
  // Tab from the last edit of the first page reaches a picture button with a mark.
  ui.dialog->setAttribute(Qt::WA_KeyboardFocusChange, false);
  ui.Widget(1011)->setFocus(Qt::OtherFocusReason);
  const QImage before = Picture(ui.Widget(1025));
  for (int i = 0; i < 20 && QApplication::focusWidget() != ui.Widget(1025); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  ASSERT_EQ(QApplication::focusWidget(), ui.Widget(1025));
  EXPECT_NE(Picture(ui.Widget(1025)), before);
}

// Pixels of a clear colour (not the window's pale blue, not grey).
int ColouredPixels(const QImage& picture) {
  int coloured = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (QColor(picture.pixel(x, y)).hsvSaturation() > 60) ++coloured;
    }
  }
  return coloured;
}

// Every picture button looks disabled when it is: by its own picture, or
// without one (STOP, the logo) by its normal picture greyed.
TEST(DisabledLook, EveryPictureButtonShowsWhenItIsDisabled) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  for (int id : {1001, 1004, 1005, 1006, 1009, 1025, 1032}) {
    QWidget* button = ui.Widget(id);
    button->setVisible(true);
    button->setEnabled(true);
    const QImage enabled = Picture(button);
    button->setEnabled(false);
    const QImage disabled = Picture(button);
    EXPECT_NE(disabled, enabled) << id;
    EXPECT_LT(ColouredPixels(disabled), ColouredPixels(enabled)) << id;
    if (id == 1032 || id == 1025) {
      EXPECT_EQ(ColouredPixels(disabled), 0) << id;
    }
  }
}

TEST(LongNames, EveryRowTellsItsWholeNameAndTheListScrollsSideways) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui::CheckListBox* list = ui.Find<ui::CheckListBox>(1003);
  QStringList names;
  for (int i = 0; i < 3; ++i) {
    names << QString("Table_with_a_rather_long_name_number_%1_of_forty_tables").arg(i);
    list->AddItem(names.back());
  }
  ui.dialog->SetControlVisible(1003, true);
  QApplication::processEvents();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list->item(i)->toolTip(), names[i]);
    EXPECT_EQ(list->item(i)->text(), names[i]);
  }
  EXPECT_EQ(list->textElideMode(), Qt::ElideNone);
  EXPECT_GT(list->horizontalScrollBar()->maximum(), 0) << "the ends of the names can be reached";
}

TEST(MessageBoxes, ALongNameWrapsWithinASensibleWidthAndCopiesWhole) {
  const QString name(250, QChar('n'));
  const QString text = "MySQL Destination Database Name [" + name + "] is too long.";
  EXPECT_EQ(ui::WithBreakOpportunities(text).remove(ui::kBreakOpportunity), text);
  EXPECT_EQ(ui::WithBreakOpportunities("short words only"), "short words only");

  ModalAnswerer answerer;
  int width = 0;
  bool wholeLines = false;
  answerer.WhileShown([&](const SeenBox&) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    width = box->width();
    auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    wholeLines = label->height() >= label->heightForWidth(label->width());
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
  });
  ui::ShowMessageBox(nullptr, text, "Message", engine::MessageButtons::Ok,
                     engine::MessageIcon::None);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].text, text);
  EXPECT_LE(width, 620);
  EXPECT_TRUE(wholeLines);
  EXPECT_EQ(QApplication::clipboard()->text(), text);
}

TEST(ScaledScreens, TheWindowShrinksToFitAScreenTooSmallForIt) {
  // 1920 x 1080 at a scale factor of 2, less a panel.
  const QRect available(0, 0, 960, 510);
  EXPECT_EQ(ui::FittingScale({627, 526}, QRect(0, 0, 1920, 1040)), 1.0);
  const double factor = ui::FittingScale({627, 526}, available);
  EXPECT_LT(factor, 1.0);

  ModalAnswerer answerer;
  DialogUnderTest ui;
  const QFont before = ui.dialog->font();
  EXPECT_EQ(ui::FitOnScreen(ui.dialog.get(), available), factor);
  EXPECT_LE(ui.dialog->height() + ui::kFrameHeight, available.height());
  EXPECT_LE(ui.dialog->width() + ui::kFrameWidth, available.width());
  EXPECT_GE(ui.dialog->y(), available.top() + ui::kFrameHeight / 2) << "the title bar stays on";
  EXPECT_LT(ui.dialog->font().pointSizeF(), before.pointSizeF());
  for (QWidget* child : ui.dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    EXPECT_TRUE(ui.dialog->rect().contains(child->geometry())) << child->objectName().toStdString();
  }
  // The buttons keep their row; Next stays right of Exit.
  EXPECT_EQ(ui.Widget(1001)->y(), ui.Widget(1006)->y());
  EXPECT_GT(ui.Widget(1001)->x(), ui.Widget(1006)->x());
}

TEST(ServerField, HostAndPortAreTakenApart) {
  struct Case {
    std::string text;
    std::string host;
    unsigned int port;
  };
  for (const Case& c : std::vector<Case>{{"localhost", "localhost", 0},
                                         {"db.example.org:3307", "db.example.org", 3307},
                                         {"[::1]:3310", "::1", 3310},
                                         {"[::1]", "::1", 0},
                                         {"::1", "::1", 0},
                                         {"fe80::1:2", "fe80::1:2", 0},
                                         {"", "", 0}}) {
    auto address = ui::ParseServerAddress(c.text);
    ASSERT_TRUE(address) << c.text;
    EXPECT_EQ(address->host, c.host) << c.text;
    EXPECT_EQ(address->port, c.port) << c.text;
  }
  for (const char* bad : {"host:", "host:0", "host:65536", "host:33o6", "[::1", "[::1]3306",
                          "host:-1", "host:123456"}) {
    EXPECT_FALSE(ui::ParseServerAddress(bad)) << bad;
  }
}

QString Read(const QString& relative) {
  QFile file(QStringLiteral(BRACKEN_SOURCE_DIR "/") + relative);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relative.toStdString();
  return QString::fromUtf8(file.readAll());
}

TEST(ProductVersion, OneVersionEverywhere) {
  const auto project =
      QRegularExpression(R"(project\(Bracken VERSION ([0-9.]+))").match(Read("CMakeLists.txt"));
  ASSERT_TRUE(project.hasMatch());
  const QString version = project.captured(1);
  EXPECT_EQ(version, "4.0.1.6") << "the About box's version";
  EXPECT_TRUE(Read("packaging/changelog").startsWith("bracken (" + version + ")"));
  EXPECT_TRUE(Read("packaging/dev.quillon.Bracken.metainfo.xml")
                  .contains("<releases>\n    <release version=\"" + version + "\""));
  for (const char* manual : {"packaging/man/bracken.1", "packaging/man/bracken-cli.1"}) {
    EXPECT_TRUE(Read(manual).section('\n', 0, 0).contains("\"Bracken " + version + "\"")) << manual;
  }
  EXPECT_TRUE(Read("README.md").contains("Bracken " + version));
}

}  // namespace
}  // namespace bracken::testing
