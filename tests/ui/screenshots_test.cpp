// Pictures of the window for the README: the first page, the second page
// and a running conversion. They go to BRACKEN_SCREENSHOT_DIR when it is
// set (docs/screenshots for the README), else beside the build.

#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>

#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"

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
  shop.tables.push_back(GeneratedTable("Stock_Movements", 3000));
  WriteJet4File(shop, folder.Path("Shop.mdb"));
  ui.FillFirstPage(server, folder.Path("Shop.mdb"), answerer);
  ASSERT_TRUE(ui.Next());
  ui.SetText(1019, QString::fromStdString(database));
  ui.ClickMark(0);
  ui.ClickMark(2);
  Save(ui, "second-page.png");

  ui.ClickMark(3);
  ui.Click(1004);
  ASSERT_TRUE(WaitUntil([&] { return ui.dialog->windowTitle().contains("Stock_Movements"); }));
  Save(ui, "conversion-running.png");
  WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 120000);
  query.Execute("DROP DATABASE IF EXISTS `" + database + "`");
}

}  // namespace
}  // namespace bracken::testing
