// The first page: its start state, the checks of Next in their order, the
// server and file failures, Browse, the database password box, Enter and Esc.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <fstream>

#include "tests/support/file_damage.h"
#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"

namespace bracken::testing {
namespace {

const QString kConnectFailure =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";
const QString kInvalidFile = "Please select valid MS Access Database.";

TEST(FirstPage, StartsOnTheFirstPageWithLocalhostAndEmptyInputs) {
  DialogUnderTest ui;
  EXPECT_EQ(ui.dialog->windowTitle(), "Quillon Database Converter - Bracken");
  EXPECT_EQ(ui.dialog->size(), QSize(627, 526));
  EXPECT_EQ(ui.dialog->minimumSize(), ui.dialog->maximumSize());
  EXPECT_EQ(ui.Text(1010), "localhost");
  EXPECT_EQ(ui.Text(1011), "");
  EXPECT_EQ(ui.Text(1012), "");
  EXPECT_FALSE(ui.Widget(1008)->isEnabled());
  // The server comes first: its text is selected, so typing replaces it.
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1010));
  EXPECT_EQ(ui.Find<QLineEdit>(1010)->selectedText(), "localhost");
  for (int id : {1016, 1013, 1014, 1015, 1010, 1011, 1012, 1021, 1017, 1018, 1000, 1022, 1008, 1001,
                 1005, 1006, 1025}) {
    EXPECT_TRUE(ui.Visible(id)) << id;
  }
  for (int id : {1020, 1019, 1035, 1036, 1023, 1024, 1003, 1004, 1007, 1009, 1039, 1037, 1030, 1031,
                 1040, 1041, 1032}) {
    EXPECT_FALSE(ui.Visible(id)) << id;
  }
}

TEST(FirstPage, NextChecksLoginThenPasswordThenHost) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.SetText(1010, "");
  EXPECT_FALSE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].text, "Please enter Login Name.");
  EXPECT_EQ(answerer.seen[0].caption, "Message");
  EXPECT_EQ(answerer.seen[0].icon, "information");
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1011));

  ui.SetText(1011, "someone");
  EXPECT_FALSE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 2u);
  EXPECT_EQ(answerer.seen[1].text, "Please enter Password.");
  EXPECT_EQ(answerer.seen[1].icon, "information");
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1012));

  // With an empty host nothing is tried; both inputs are emptied.
  ui.SetText(1012, "secret");
  EXPECT_FALSE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 3u);
  EXPECT_EQ(answerer.seen[2].text, kConnectFailure + "\n\nNo server host given.");
  EXPECT_EQ(answerer.seen[2].caption, "Message");
  EXPECT_EQ(answerer.seen[2].icon, "none");
  EXPECT_EQ(ui.Text(1011), "");
  EXPECT_EQ(ui.Text(1012), "");
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1010));
  EXPECT_TRUE(ui.Visible(1001));
}

TEST(FirstPage, ARefusedLoginEmptiesTheInputsAndFocusesTheLoginName) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.SetText(1010, QString::fromStdString(server.host));
  ui.SetText(1011, QString::fromStdString(server.user));
  ui.SetText(1012, QString::fromStdString(server.password + "-wrong"));
  EXPECT_FALSE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_TRUE(answerer.seen[0].text.startsWith(kConnectFailure + "\n\nAccess denied for user '" +
                                               QString::fromStdString(server.user) + "'@"))
      << answerer.seen[0].text.toStdString();
  EXPECT_TRUE(answerer.seen[0].text.endsWith(" (1045)")) << answerer.seen[0].text.toStdString();
  EXPECT_EQ(ui.Text(1011), "");
  EXPECT_EQ(ui.Text(1012), "");
  EXPECT_EQ(ui.Text(1010), QString::fromStdString(server.host));
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1011));
}

// Beneath the usual sentence: the client library's reason for the last
// attempt with its number, or what is wrong with the server field itself.
TEST(FirstPage, EachConnectionFailureGivesItsOwnReasonBeneathTheSentence) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  struct Case {
    QString host;
    QString reasonStart;
    QString reasonEnd;
  };
  const Case cases[] = {
      {"127.0.0.1:1", "Can't connect to server on '127.0.0.1' (", " (2002)"},
      {"no-such-host.invalid", "Unknown server host 'no-such-host.invalid'", " (2005)"},
      {"127.0.0.1:70000",
       "'127.0.0.1:70000' is not a server address: a port after ':' must be a number from 1 to "
       "65535",
       "needs its closing ']'."},
  };
  for (const Case& c : cases) {
    ModalAnswerer answerer;
    DialogUnderTest ui;
    ui.SetText(1010, c.host);
    ui.SetText(1011, QString::fromStdString(server.user));
    ui.SetText(1012, QString::fromStdString(server.password));
    EXPECT_FALSE(ui.Next()) << c.host.toStdString();
    ASSERT_EQ(answerer.seen.size(), 1u) << c.host.toStdString();
    const QString& text = answerer.seen[0].text;
    EXPECT_TRUE(text.startsWith(kConnectFailure + "\n\n" + c.reasonStart)) << text.toStdString();
    EXPECT_TRUE(text.endsWith(c.reasonEnd)) << text.toStdString();
    EXPECT_EQ(answerer.seen[0].caption, "Message");
    EXPECT_EQ(answerer.seen[0].icon, "none");
  }
}

// A catalogue row that cannot be read: the file opens, its other tables are
// listed, and one message names what is left out before the second page.
TEST(FirstPage, ACatalogueRowThatCannotBeReadIsNamedBeforeTheSecondPage) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  ScratchFolder folder;
  std::string bytes = WriteJet4(SmallShop());
  ASSERT_GT(BreakRowHolding(bytes, "Products"), 0);
  std::ofstream(folder.Path("broken.mdb"), std::ios::binary) << bytes;

  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.FillFirstPage(server, folder.Path("broken.mdb"), answerer);
  EXPECT_TRUE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_TRUE(answerer.seen[0].text.startsWith("Parts of this Access file cannot be read:\n\n"))
      << answerer.seen[0].text.toStdString();
  EXPECT_EQ(answerer.seen[0].caption, "Message");
  EXPECT_EQ(ui.dialog->TableNames(), (std::vector<std::string>{"Customers", "Orders"}));
}

TEST(FirstPage, FilesThatWillNotOpenAreExplainedAndThePageStays) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  ScratchFolder folder;
  FixtureDatabase locked = SmallShop();
  locked.password = "fern";
  WriteJet4File(locked, folder.Path("locked.mdb"));
  std::ofstream(folder.Path("notes.mdb")) << "These are not the pages of a database.\n";

  ModalAnswerer answerer;
  DialogUnderTest ui;
  struct Case {
    std::string file;
    QString databasePassword;
    QString message;
  };
  const Case cases[] = {
      {"locked.mdb", "",
       "Selected database is Password Protected.\nPlease enter valid password to open database."},
      {"locked.mdb", "moss",
       "Selected database is Password Protected.\nPlease enter valid password to open database."},
      {"notes.mdb", "", kInvalidFile},
      {"missing.mdb", "", kInvalidFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " / " + c.databasePassword.toStdString());
    answerer.seen.clear();
    ui.FillFirstPage(server, folder.Path(c.file), answerer);
    if (!c.databasePassword.isEmpty()) {
      ui.Click(1022);
      ui.SetText(1008, c.databasePassword);
    }
    EXPECT_FALSE(ui.Next());
    EXPECT_EQ(answerer.Texts(), QStringList{c.message});
    ASSERT_FALSE(answerer.seen.empty());
    EXPECT_EQ(answerer.seen[0].caption, "Message");
    EXPECT_EQ(answerer.seen[0].icon, "none");
    // Every input keeps its text for another try.
    EXPECT_EQ(ui.Text(1011), QString::fromStdString(server.user));
    EXPECT_EQ(ui.Text(1018), QString::fromStdString(folder.Path(c.file).string()));
    EXPECT_EQ(ui.Text(1008), c.databasePassword);
    if (!c.databasePassword.isEmpty()) ui.Click(1022);
  }

  // The right password opens the file.
  answerer.seen.clear();
  ui.FillFirstPage(server, folder.Path("locked.mdb"), answerer);
  ui.Click(1022);
  ui.SetText(1008, "fern");
  EXPECT_TRUE(ui.Next()) << answerer.Texts().join(" | ").toStdString();
}

TEST(FirstPage, ARetriedNextDoesNotLeaveTheEarlierConnectionOpen) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  // A login of its own, so that only this window's connections are counted.
  ServerQuery admin(server);
  admin.Execute("DROP USER IF EXISTS 'ui_probe'@'%'");
  admin.Execute("CREATE USER 'ui_probe'@'%' IDENTIFIED BY 'probe-pw'");
  TestServer probe = server;
  probe.user = "ui_probe";
  probe.password = "probe-pw";
  auto connections = [&] {
    Cell count =
        admin.Value("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER = 'ui_probe'");
    return count ? std::stoi(*count) : -1;
  };

  ScratchFolder folder;
  ModalAnswerer answerer;
  {
    DialogUnderTest ui;
    for (int attempt = 1; attempt <= 3; ++attempt) {
      ui.FillFirstPage(probe, folder.Path("missing.mdb"), answerer);
      EXPECT_FALSE(ui.Next());
      EXPECT_EQ(answerer.seen.back().text, kInvalidFile);
      EXPECT_TRUE(WaitUntil([&] { return connections() == 1; }, 5000))
          << "attempt " << attempt << ": " << connections() << " connections";
    }
  }
  // Closing the window without leaving through Exit still closes it.
  EXPECT_TRUE(WaitUntil([&] { return connections() == 0; }, 5000)) << connections();
  admin.Execute("DROP USER IF EXISTS 'ui_probe'@'%'");
}

TEST(FirstPage, BrowseShowsThePathAndNamesTheDatabaseAfterTheFile) {
  ScratchFolder folder;
  std::ofstream(folder.Path("Sales.2009.mdb")) << "x";
  ModalAnswerer answerer;
  DialogUnderTest ui;
  const QString path = QString::fromStdString(folder.Path("Sales.2009.mdb").string());
  answerer.ChooseFile(path);
  ui.Click(1000);
  EXPECT_EQ(answerer.fileDialogs, 1);
  EXPECT_EQ(ui.Text(1018), path);
  EXPECT_EQ(ui.Text(1019), "Sales.2009");

  // Cancelling the file dialog changes nothing.
  answerer.CancelFileDialog();
  ui.Click(1000);
  EXPECT_EQ(answerer.fileDialogs, 2);
  EXPECT_EQ(ui.Text(1018), path);
  EXPECT_EQ(ui.Text(1019), "Sales.2009");

  // The path edit is read-only and white among light-blue labels.
  auto* pathEdit = ui.Find<QLineEdit>(1018);
  EXPECT_TRUE(pathEdit->isReadOnly());
  EXPECT_EQ(pathEdit->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(ui.Widget(1017)->palette().color(QPalette::Window), QColor(240, 247, 255));
}

// The file dialog as a user types into it: a missing name is refused, a
// folder's name opens the folder, an existing file is chosen. It starts in
// the home folder, then where the last Browse ended.
TEST(FirstPage, BrowseTakesOnlyExistingFilesAndOpensTypedFolders) {
  ScratchFolder folder;
  std::filesystem::create_directories(folder.Path("home/Data"));
  std::ofstream(folder.Path("home/Data/Shop.mdb")) << "x";
  const QString home = QString::fromStdString(folder.Path("home").string());
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.toLocal8Bit());
  ModalAnswerer answerer;
  DialogUnderTest ui;
  answerer.TypeIntoFileDialog("nosuchfile.mdb");
  answerer.TypeIntoFileDialog("Data");
  answerer.TypeIntoFileDialog("Shop.mdb");
  ui.Click(1000);
  EXPECT_EQ(answerer.fileDialogs, 3);
  EXPECT_EQ(answerer.fileDialogFolders, (QStringList{home, home, home + "/Data"}));
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_TRUE(answerer.seen[0].text.startsWith("nosuchfile.mdb\n"))
      << answerer.seen[0].text.toStdString();
  EXPECT_EQ(answerer.fileDialogFilters.at(0),
            (QStringList{"Access Databases (*.mdb *.accdb)", "All files (*)"}));
  EXPECT_EQ(ui.Text(1018), home + "/Data/Shop.mdb");
  EXPECT_EQ(ui.Text(1019), "Shop");

  answerer.CancelFileDialog();
  ui.Click(1000);
  EXPECT_EQ(answerer.fileDialogFolders.back(), home + "/Data");
  EXPECT_EQ(ui.Text(1018), home + "/Data/Shop.mdb");
  qputenv("HOME", savedHome);
}

TEST(FirstPage, ThePasswordBoxEnablesAndEmptiesTheDatabasePassword) {
  DialogUnderTest ui;
  auto* box = ui.Find<QCheckBox>(1022);
  ui.Click(1022);
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(ui.Widget(1008)->isEnabled());
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1008));
  QTest::keyClicks(ui.Widget(1008), "p;w=1");
  EXPECT_EQ(ui.Text(1008), "p;w=1");

  ui.Click(1022);
  EXPECT_FALSE(ui.Widget(1008)->isEnabled());
  EXPECT_EQ(ui.Text(1008), "");

  ui.Click(1022);
  EXPECT_TRUE(ui.Widget(1008)->isEnabled());
  EXPECT_EQ(ui.Text(1008), "");
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1008));
}

TEST(Keys, EnterPressesOnlyBrowseAndEscAsksBeforeLeaving) {
  RecordingShell shell;
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.SetText(1011, "someone");

  // Enter in an edit neither presses Next nor closes the window.
  ui.PressKey(1011, Qt::Key_Return);
  EXPECT_TRUE(answerer.seen.empty());
  EXPECT_TRUE(ui.dialog->isVisible());
  EXPECT_TRUE(ui.Visible(1001));

  // Enter on Browse opens the file dialog.
  answerer.CancelFileDialog();
  ui.Widget(1000)->setFocus();
  ui.PressKey(1000, Qt::Key_Return);
  EXPECT_EQ(answerer.fileDialogs, 1);

  // Esc asks; No leaves everything as it was.
  answerer.AnswerNo();
  ui.PressKey(1011, Qt::Key_Escape);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].text,
            "Do you want to exit from Quillon Database Converter - Bracken?");
  EXPECT_EQ(answerer.seen[0].caption, "Message");
  EXPECT_EQ(answerer.seen[0].icon, "question");
  EXPECT_EQ(answerer.seen[0].buttons, "Yes/No");
  EXPECT_EQ(answerer.seen[0].defaultButton, "Yes");
  EXPECT_TRUE(ui.dialog->isVisible());
  EXPECT_EQ(ui.Text(1011), "someone");
  EXPECT_TRUE(shell.opened.empty());

  // Closing the window asks the same; Yes opens the web page and ends the
  // window. Without a run there is no process to end early.
  answerer.AnswerYes();
  ui.dialog->close();
  ASSERT_EQ(answerer.seen.size(), 2u);
  EXPECT_EQ(answerer.seen[1].text, answerer.seen[0].text);
  EXPECT_FALSE(ui.dialog->isVisible());
  EXPECT_EQ(ui.dialog->result(), QDialog::Rejected);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], QUrl("https://bracken.quillon.dev/"));
  EXPECT_EQ(ui.processEnds, 0);
}

}  // namespace
}  // namespace bracken::testing
