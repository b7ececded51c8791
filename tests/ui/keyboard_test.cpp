// The window from the keyboard alone: where the focus starts and goes after
// each page change, the tab order of both pages, the Alt mnemonics (and Alt
// keys that must not type), and a whole conversion without a mouse.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"

namespace bracken::testing {
namespace {

// The keys arrive where the keyboard focus is, as a user's would.
QWidget* Focus(DialogUnderTest& ui) {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus : ui.dialog.get();
}

// Offscreen, closing a modal box does not give the activation back to the
// window as a window manager does; a user's next key finds it active.
void Reactivate(DialogUnderTest& ui) {
  if (QApplication::activeWindow() == ui.dialog.get()) return;
  ui.dialog->activateWindow();
  QApplication::setActiveWindow(ui.dialog.get());
  QApplication::processEvents();
}

void Key(DialogUnderTest& ui, Qt::Key key, Qt::KeyboardModifiers held = Qt::NoModifier) {
  Reactivate(ui);
  QTest::keyClick(Focus(ui), key, held);
  QApplication::processEvents();
}

void Type(DialogUnderTest& ui, const QString& text) {
  Reactivate(ui);
  QTest::keyClicks(Focus(ui), text);
  QApplication::processEvents();
}

QString FocusName(DialogUnderTest& ui) {
  QWidget* focus = ui.dialog->focusWidget();
  return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
}

// The controls Tab visits from the focus, in order, until it comes back.
QStringList TabRing(DialogUnderTest& ui) {
  QStringList ring;
  const QString first = FocusName(ui);
  ring << first;
  for (int step = 0; step < 30; ++step) {
    Key(ui, Qt::Key_Tab);
    if (FocusName(ui) == first) break;
    ring << FocusName(ui);
  }
  return ring;
}

void Activate(DialogUnderTest& ui) {
  ui.dialog->activateWindow();
  QApplication::setActiveWindow(ui.dialog.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(ui.dialog.get()));
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = TestServerFromEnvironment();
    if (!found) GTEST_SKIP() << kNoServerMessage;
    server = *found;
    query = std::make_unique<ServerQuery>(server);
    shop = folder.Path("Shop.mdb");
    WriteJet4File(SmallShop(), shop);
  }
  void TearDown() override {
    for (const std::string& name : databases)
      query->Execute("DROP DATABASE IF EXISTS `" + name + "`");
  }

  TestServer server;
  std::unique_ptr<ServerQuery> query;
  ScratchFolder folder;
  std::filesystem::path shop;
  ModalAnswerer answerer;
  std::vector<std::string> databases;
};

TEST(KeyboardFirstPage, FocusStartsInTheServerFieldAndAltKeysReachTheirControls) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  Activate(ui);
  EXPECT_EQ(FocusName(ui), "1010");
  EXPECT_EQ(TabRing(ui), (QStringList{"1010", "1011", "1012", "1018", "1000", "1022", "1001",
                                      "1005", "1006", "1025"}));

  // Alt and a letter that no control takes types nothing into a field;
  // the letters of the second page are not taken on the first.
  ui.Widget(1012)->setFocus();
  Type(ui, "pw");
  for (Qt::Key key : {Qt::Key_Q, Qt::Key_S, Qt::Key_C, Qt::Key_B}) Key(ui, key, Qt::AltModifier);
  EXPECT_EQ(ui.Text(1012), "pw");
  EXPECT_TRUE(answerer.seen.empty());

  // Alt+P ticks the password box and puts the focus into its field.
  Key(ui, Qt::Key_P, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return ui.Find<QCheckBox>(1022)->isChecked(); }, 2000));
  EXPECT_EQ(FocusName(ui), "1008");
  EXPECT_EQ(TabRing(ui).mid(0, 3), (QStringList{"1008", "1001", "1005"}));

  // Alt+R opens the file dialog; Alt+N runs Next, which asks for the login.
  answerer.CancelFileDialog();
  Key(ui, Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return answerer.fileDialogs == 1; }, 2000));
  Key(ui, Qt::Key_N, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return !answerer.seen.empty(); }, 2000));
  EXPECT_EQ(answerer.Texts(), QStringList{"Please enter Login Name."});

  // Alt+H opens help; each picture button names its key in its tip.
  RecordingShell shell;
  Key(ui, Qt::Key_H, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return shell.opened.size() == 1; }, 2000));
  EXPECT_EQ(ui.Widget(1001)->toolTip(), "Next (Alt+N)");
  EXPECT_EQ(ui.Widget(1006)->toolTip(), "Exit (Alt+X)");

  // Alt+X asks before leaving, as Exit does.
  Key(ui, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return answerer.seen.size() == 2; }, 2000));
  EXPECT_EQ(answerer.seen.back().text,
            "Do you want to exit from Quillon Database Converter - Bracken?");
  EXPECT_TRUE(ui.dialog->isVisible());
}

TEST_F(Keyboard, TheSecondPageTabsInLayoutOrderAndEachPageChangePlacesTheFocus) {
  DialogUnderTest ui;
  Activate(ui);
  ui.FillFirstPage(server, shop, answerer);
  Key(ui, Qt::Key_N, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return ui.Visible(1003); }))
      << answerer.Texts().join(" | ").toStdString();

  EXPECT_EQ(FocusName(ui), "1003");
  EXPECT_EQ(TabRing(ui),
            (QStringList{"1003", "1024", "1019", "1009", "1004", "1005", "1006", "options",
                         "1025"}));

  // Alt+S ticks every table and, as a click does, leaves the focus on Back.
  Key(ui, Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return ui.Marks() == std::vector<bool>(3, true); }, 2000));
  EXPECT_EQ(FocusName(ui), "1009");

  // Alt+B goes back, with the focus on the file field; Alt+N on the second
  // page is not Next's.
  Key(ui, Qt::Key_B, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return ui.Visible(1018); }, 2000));
  EXPECT_EQ(FocusName(ui), "1018");
}

// Server, login, password, Alt+R and a typed path, Alt+N, Space, Alt+S, the
// name, Alt+C; Enter on the overwrite question keeps the database, Yes chosen
// by keys replaces it and the conversion finishes.
TEST_F(Keyboard, AWholeConversionWithoutAMouse) {
  const std::string database = DatabaseName("keyboard");
  databases.push_back(database);
  query->Execute("DROP DATABASE IF EXISTS `" + database + "`");
  query->Execute("CREATE DATABASE `" + database + "`");
  query->Execute("CREATE TABLE `" + database + "`.`Keep` (id INT)");

  DialogUnderTest ui;
  Activate(ui);
  Type(ui, QString::fromStdString(server.host));
  Key(ui, Qt::Key_Tab);
  Type(ui, QString::fromStdString(server.user));
  Key(ui, Qt::Key_Tab);
  Type(ui, QString::fromStdString(server.password));
  answerer.TypeIntoFileDialog(QString::fromStdString(shop.string()));
  Key(ui, Qt::Key_R, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return !ui.Text(1018).isEmpty(); }, 5000));
  EXPECT_EQ(ui.Text(1018), QString::fromStdString(shop.string()));

  Key(ui, Qt::Key_N, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return ui.Visible(1003); }))
      << answerer.Texts().join(" | ").toStdString();
  Key(ui, Qt::Key_Space);
  EXPECT_EQ(ui.Marks(), (std::vector<bool>{true, false, false}));
  Key(ui, Qt::Key_S, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return ui.Marks() == std::vector<bool>(3, true); }, 2000));
  Key(ui, Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(FocusName(ui), "1019");
  Key(ui, Qt::Key_A, Qt::ControlModifier);
  Type(ui, QString::fromStdString(database));

  answerer.AnswerWithEnter();
  Key(ui, Qt::Key_C, Qt::AltModifier);
  ASSERT_TRUE(
      WaitUntil([&] { return !answerer.seen.empty() && !ui.dialog->ConversionRunning(); }, 60000));
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_TRUE(answerer.seen[0].text.startsWith("Are you sure you want to overwrite?"));
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                         database + "'"),
            Cell("1"));

  answerer.AnswerYesWithKeys();
  ui.Widget(1019)->setFocus();
  Key(ui, Qt::Key_C, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return answerer.seen.size() >= 3; }, 120000))
      << answerer.Texts().join(" | ").toStdString();
  EXPECT_TRUE(WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 120000));
  EXPECT_EQ(answerer.seen[2].text, "Bracken database conversion completed successfully.");
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM `" + database + "`.`Orders`"), Cell("4"));
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                         database + "'"),
            Cell("3"));
}

}  // namespace
}  // namespace bracken::testing
