// Pictures of the window for the README: the first page, the second page,
// a running conversion and the report at the end of a run. They go to BRACKEN_SCREENSHOT_DIR when
// it is set (docs/screenshots for the README), else beside the build.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"
#include "tests/ui/text_clipping.h"
#include "ui/about_dialog.h"
#include "ui/check_list_box.h"
#include "ui/report_dialog.h"
#include "ui/wizard_pages.h"

namespace bracken::testing {
namespace {

QString ScreenshotFolder() {
  QString folder = qEnvironmentVariable("BRACKEN_SCREENSHOT_DIR");
  if (folder.isEmpty()) folder = QStringLiteral(BRACKEN_BINARY_DIR "/screenshots");
  QDir().mkpath(folder);
  return folder;
}

void Save(DialogUnderTest& ui, const QString& name) {
  const QPixmap picture = ui.dialog->grab();
  EXPECT_EQ(picture.size(), QSize(627, 526));
  const QString path = QDir(ScreenshotFolder()).filePath(name);
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
}

// On a real display (scripts/screenshots: Xvfb with a window manager) the
// window is also taken with its frame and title bar, as the desktop shows it.
void SaveDesktop(DialogUnderTest& ui, const QString& name) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  QApplication::processEvents();
  const QRect frame = ui.dialog->frameGeometry();
  const QPixmap picture =
      ui.dialog->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  EXPECT_TRUE(picture.save(QDir(ScreenshotFolder()).filePath(name), "PNG"));
}

TEST(Screenshots, FirstPageSecondPageAndARunningConversion) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  Save(ui, "first-page.png");

  BRACKEN_REQUIRE_TEST_SERVER(server);
  ServerQuery query(server);
  const std::string database = DatabaseName("screenshots");
  query.Execute("DROP DATABASE IF EXISTS `" + database + "`");
  ScratchFolder folder;
  FixtureDatabase shop = SmallShop();
  shop.tables.push_back(GeneratedTable("Stock_Movements", 30000));
  WriteJet4File(shop, folder.Path("Shop.mdb"));
  ui.FillFirstPage(server, folder.Path("Shop.mdb"), answerer);
  ASSERT_TRUE(ui.Next());
  ui.SetText(1019, QString::fromStdString(database));
  ui.ClickMark(0);
  ui.ClickMark(2);
  Save(ui, "second-page.png");

  ui.ClickMark(3);
  // Taken the moment the caption shows the long table well under way, so a
  // fast server cannot finish it between two looks.
  bool taken = false;
  QObject::connect(ui.dialog.get(), &QWidget::windowTitleChanged, [&](const QString& title) {
    if (taken || !title.contains("Stock_Movements") || title.contains("] 0 rows")) return;
    taken = true;
    Save(ui, "conversion-running.png");
    SaveDesktop(ui, "conversion-running-desktop.png");
  });
  ui.Click(1004);
  WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 120000);
  EXPECT_TRUE(taken);
  query.Execute("DROP DATABASE IF EXISTS `" + database + "`");
}

TEST(Screenshots, ReportWindow) {
  ui::CReportDlg report(
      "Bracken database conversion ended, but not everything arrived: 3 rows refused, 1 value "
      "changed.",
      {"Table \"Order Details\" is named Order_Details.",
       "Column \"Unit Price\" of Order_Details is named Unit_Price.",
       "Customers.Notes is widened from VARCHAR(255) to TEXT.",
       "Orders row 17: OrderDate 0100-01-01 is out of range; left out.",
       "Orders row 212 refused: duplicate key 212.", "Orders row 213 refused: duplicate key 213.",
       "Orders row 590 refused: duplicate key 590.",
       "Products row 4: Weight 1.0000000001 changed to 1."},
      nullptr, [](QWidget*, const QString&) { return QString(); });
  report.show();
  QApplication::processEvents();
  const QPixmap picture = report.grab();
  EXPECT_EQ(picture.size(), QSize(560, 360));
  const QString path = QDir(ScreenshotFolder()).filePath("report-window.png");
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
}

// A window as the desktop shows it, with its frame where there is one.
void SaveWindow(QWidget* window, const QString& name) {
  QPixmap picture = window->grab();
  if (QGuiApplication::platformName() == QLatin1String("xcb") &&
      QTest::qWaitForWindowExposed(window)) {
    QTest::qWait(300);  // the window manager's frame
    const QRect frame = window->frameGeometry();
    const QPixmap framed =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!framed.isNull()) picture = framed;
  }
  const QString path = QDir(ScreenshotFolder()).filePath(name);
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
}

// The window's pages, the About box and a message at one scale and font dpi
// (scripts/screenshots-scale runs it for each), named after the setting in
// BRACKEN_SCREENSHOT_SETTING; nothing in them is cut off.
TEST(Screenshots, AtThisScaleAndFontDpi) {
  const QString setting = qEnvironmentVariable("BRACKEN_SCREENSHOT_SETTING", "current");
  ModalAnswerer answerer;
  DialogUnderTest ui;
  SaveWindow(ui.dialog.get(), setting + "-first-page.png");
  EXPECT_EQ(ClippedTexts(ui.dialog.get()), QStringList()) << setting.toStdString();

  // The second page as Next shows it, with a few tables listed.
  for (int id : ui::pages::kFirstPage) ui.Widget(id)->setVisible(false);
  for (int id : ui::pages::kSecondPage) ui.Widget(id)->setVisible(true);
  auto* list = ui.Find<ui::CheckListBox>(1003);
  for (const char* name : {"Customers", "Order Details", "Orders", "Products", "Suppliers"}) {
    list->AddItem(name);
  }
  list->SetMarked(1, true);
  ui.SetText(1037, QStringLiteral("5"));
  ui.SetText(1019, QStringLiteral("Shop"));
  SaveWindow(ui.dialog.get(), setting + "-second-page.png");
  EXPECT_EQ(ClippedTexts(ui.dialog.get()), QStringList()) << setting.toStdString();

  ui::CAboutDlg about(ui.dialog.get());
  about.show();
  SaveWindow(&about, setting + "-about.png");
  EXPECT_EQ(ClippedTexts(&about), QStringList()) << setting.toStdString();
  about.close();

  // A message box of the first page, taken while it is up.
  for (int id : ui::pages::kSecondPage) ui.Widget(id)->setVisible(false);
  for (int id : ui::pages::kFirstPage) ui.Widget(id)->setVisible(true);
  answerer.WhileShown([&](const SeenBox&) {
    if (QWidget* box = QApplication::activeModalWidget()) {
      SaveWindow(box, setting + "-message.png");
    }
  });
  ui.Click(1001);
  EXPECT_EQ(answerer.seen.size(), 1u);
}

}  // namespace
}  // namespace bracken::testing
