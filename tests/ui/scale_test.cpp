// No text of the window, the About box or the report window is cut off, at
// any scale factor and font dpi a desktop may set, on a small and a large
// screen. Both are read once, when the application starts, so each setting
// runs this program again as a child with QT_SCALE_FACTOR and QT_FONT_DPI
// set and an offscreen screen of the size asked, for the check of one setting.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <utility>

#include "tests/ui/dialog_harness.h"
#include "tests/ui/text_clipping.h"
#include "ui/about_dialog.h"
#include "ui/check_list_box.h"
#include "ui/message_box.h"
#include "ui/report_dialog.h"
#include "ui/screen_fit.h"

namespace bracken::testing {
namespace {

constexpr const char* kChildSetting = "BRACKEN_SCALE_CHILD";

QString Setting() {
  return QStringLiteral("screen %1, scale %2, font dpi %3")
      .arg(qEnvironmentVariable(kChildSetting, "as started"),
           qEnvironmentVariable("QT_SCALE_FACTOR", "1"), qEnvironmentVariable("QT_FONT_DPI", "96"));
}

// An offscreen screen of this size, for QT_QPA_PLATFORM's configfile.
QString ScreenFile(const QTemporaryDir& folder, const QString& size) {
  const QStringList sides = size.split('x');
  QString path = folder.filePath(size + ".json");
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QStringLiteral(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": %1, )"
                            R"("height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                 .arg(sides[0], sides[1])
                 .toUtf8());
  return path;
}

// The check of one setting, in whatever this process was started with.
TEST(ScaleAndLook, NoTextIsCutOffAtThisSetting) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  auto* list = ui.Find<ui::CheckListBox>(1003);
  for (const char* name : {"Customers", "Order Details", "Products"}) list->AddItem(name);
  list->setVisible(true);
  EXPECT_EQ(ClippedTexts(ui.dialog.get()), QStringList()) << Setting().toStdString();
  // Labels end before the edit they name ("MySQL Server :" ends left of it).
  for (auto [label, edit] : {std::pair{1013, 1010}, {1014, 1011}, {1015, 1012}}) {
    EXPECT_LT(ui.Widget(label)->geometry().right(), ui.Widget(edit)->x())
        << label << " " << Setting().toStdString();
  }
  // The window fits the screen's free area, with its frame.
  const QRect available = ui.dialog->screen()->availableGeometry();
  EXPECT_LE(ui.dialog->width(), available.width()) << Setting().toStdString();
  EXPECT_LE(ui.dialog->height(), available.height()) << Setting().toStdString();

  ui::CAboutDlg about(ui.dialog.get());
  about.show();
  EXPECT_EQ(ClippedTexts(&about), QStringList()) << Setting().toStdString();

  ui::CReportDlg report(QStringLiteral("Database conversion completed successfully."),
                        {QStringLiteral("Orders: 4 rows")}, nullptr,
                        [](QWidget*, const QString&) { return QString(); });
  report.show();
  QApplication::processEvents();
  EXPECT_EQ(ClippedTexts(&report), QStringList()) << Setting().toStdString();
}

TEST(ScaleAndLook, NoTextIsCutOffAtAnyScaleOrFontDpi) {
  if (qEnvironmentVariableIsSet(kChildSetting)) GTEST_SKIP() << "runs in the parent only";
  QTemporaryDir folder;
  // Each scale factor with 96-dpi fonts, and each font dpi unscaled.
  const std::pair<const char*, const char*> settings[] = {
      {"1", "96"}, {"1.25", "96"}, {"1.5", "96"}, {"2", "96"}, {"1", "144"}, {"1", "192"}};
  for (const QString size : {"1366x768", "1920x1080"}) {
    for (const auto& [scale, dpi] : settings) {
      QProcess child;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert(kChildSetting, size);
      environment.insert("QT_SCALE_FACTOR", scale);
      environment.insert("QT_FONT_DPI", dpi);
      environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + ScreenFile(folder, size));
      child.setProcessEnvironment(environment);
      child.setProcessChannelMode(QProcess::MergedChannels);
      child.start(QApplication::applicationFilePath(),
                  {"--gtest_filter=ScaleAndLook.NoTextIsCutOffAtThisSetting"});
      ASSERT_TRUE(child.waitForFinished(60000));
      EXPECT_EQ(child.exitCode(), 0)
          << size.toStdString() << ", scale " << scale << ", font dpi " << dpi << "\n"
          << child.readAll().toStdString();
    }
  }
}

TEST(ScaleAndLook, TheOpenDialogAndTheReportWindowFitASmallScreen) {
  const QRect small(0, 0, 683, 384);  // 1366 x 768 at a scale factor of 2
  const QSize room = small.size() - QSize(ui::kFrameWidth, ui::kFrameHeight);
  QFileDialog chooser;
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  ui::FitResizableOnScreen(&chooser, small);
  chooser.show();
  QApplication::processEvents();
  EXPECT_LE(chooser.width(), room.width());
  EXPECT_LE(chooser.height(), room.height());

  ui::CReportDlg report(QStringLiteral("Done."), {}, nullptr,
                        [](QWidget*, const QString&) { return QString(); });
  const QSize before = report.size();
  ui::FitResizableOnScreen(&report, small);
  EXPECT_EQ(report.width(), before.width());
  EXPECT_EQ(report.height(), room.height());
  // Where there is room, the window keeps the size it asked for.
  ui::FitResizableOnScreen(&report, QRect(0, 0, 1920, 1080));
  EXPECT_EQ(report.size(), QSize(report.width(), room.height()));
}

// Every icon a message box may carry is the program's own picture.
TEST(MessageIcons, EachBoxIconShowsTheShippedPicture) {
  for (auto icon : {QMessageBox::Information, QMessageBox::Question, QMessageBox::Warning,
                    QMessageBox::Critical}) {
    QMessageBox box(icon, "Message", "Text");
    const QPixmap fallback = box.iconPixmap();
    ui::ShowOwnIconPicture(box);
    EXPECT_EQ(box.icon(), icon);
    const QPixmap own = box.iconPixmap();
    ASSERT_FALSE(own.isNull()) << icon;
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    EXPECT_EQ(own.deviceIndependentSize().toSize(), QSize(size, size)) << icon;
    EXPECT_NE(own.toImage(), fallback.toImage()) << icon;
  }
}

}  // namespace
}  // namespace bracken::testing
