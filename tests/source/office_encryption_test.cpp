// Encrypted Access 2007 and later files: the corpus file (RC4 CryptoAPI, as
// Access 2007 to 2010 wrote it) and files encrypted here with agile
// encryption and with RC4 keys of other sizes read exactly as their
// unencrypted originals; wrong and missing passwords, damaged descriptions
// and schemes this reader does not know are refused with their own errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "source/source_access.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/office_encryptor.h"

namespace bracken::source {
namespace {

using testing::AgileSettings;
using testing::ColumnKind;
using testing::EncryptAgile;
using testing::EncryptRc4CryptoApi;
using testing::MakeColumn;

// Every cell of every user table, as text, table by table.
std::string ReadEverything(Catalog& catalog) {
  std::string out;
  Tables tables = catalog.Tables();
  for (long t = 0; t < tables.Count(); ++t) {
    Table table = tables.Item(t);
    if (table.Type() != "TABLE") continue;
    out += "[" + table.Name() + "]\n";
    Recordset rows;
    rows.Open("SELECT * FROM [" + table.Name() + "]", catalog);
    Fields fields = rows.Fields();
    for (; !rows.Eof(); rows.MoveNext()) {
      for (long i = 0; i < fields.Count(); ++i) out += fields.Item(i).Value().ToText() + "|";
      out += "\n";
    }
  }
  return out;
}

std::string ReadBuffer(const std::string& bytes, const std::string& password) {
  Catalog catalog;
  catalog.OpenBuffer(bytes, password);
  return ReadEverything(catalog);
}

// The error a buffer's opening raises; empty when it opens.
std::string OpenError(const std::string& bytes, const std::string& password) {
  try {
    Catalog catalog;
    catalog.OpenBuffer(bytes, password);
  } catch (const SourceError& error) {
    return error.Description();
  }
  return {};
}

// An Access 2007 file of a few hundred rows over several pages, with text
// that is not ASCII and long values on their own pages.
std::string PlainAceFile() {
  testing::FixtureTable table;
  table.name = "Orders";
  table.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 60),
                   MakeColumn("Note", ColumnKind::Memo), MakeColumn("When", ColumnKind::DateTime)};
  table.generatedRows = 600;
  table.generator = [](int64_t i, std::vector<testing::FixtureValue>& row) {
    row[0] = i;
    row[1] = "Kunde Nr. " + std::to_string(i) + " \xC3\xA4\xE2\x82\xAC";
    row[2] = std::string(static_cast<size_t>(i % 7) * 90, static_cast<char>('a' + i % 26));
    row[3] = 40000.25 + static_cast<double>(i);
  };
  testing::FixtureDatabase database;
  database.tables.push_back(std::move(table));
  return testing::AceFromJet4(testing::WriteJet4(database));
}

TEST(OfficeEncryption, AgileAndRc4FilesReadAsTheirOriginals) {
  std::string plain = PlainAceFile();
  std::string expected = ReadBuffer(plain, "");
  ASSERT_NE(expected.find("Kunde Nr. 599"), std::string::npos);

  struct Case {
    const char* name;
    std::string bytes;
  };
  AgileSettings quick;
  quick.spinCount = 1000;
  AgileSettings sha1 = quick;
  sha1.hash = "SHA1";
  sha1.keyBits = 128;
  AgileSettings sha256 = quick;
  sha256.hash = "SHA256";
  sha256.keyBits = 192;
  const std::string password = "Geheim \xC3\xBC 1";
  std::vector<Case> cases = {
      {"agile SHA-512 AES-256, Access's spin count", EncryptAgile(plain, password)},
      {"agile SHA-1 AES-128", EncryptAgile(plain, password, sha1)},
      {"agile SHA-256 AES-192", EncryptAgile(plain, password, sha256)},
      {"RC4 128-bit", EncryptRc4CryptoApi(plain, password, 128)},
      {"RC4 40-bit", EncryptRc4CryptoApi(plain, password, 40)},
      {"RC4 56-bit", EncryptRc4CryptoApi(plain, password, 56)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.bytes.substr(4096), plain.substr(4096));
    ASSERT_EQ(OpenError(c.bytes, password), "");
    EXPECT_EQ(ReadBuffer(c.bytes, password), expected);
    for (const char* wrong : {"", "geheim \xC3\xBC 1", "Geheim \xC3\xBC 1 ", "password"}) {
      EXPECT_EQ(OpenError(c.bytes, wrong), "Not a valid password.") << wrong;
    }
  }
}

// Each thread keeps the key it last decrypted with; files under other keys
// read in turn, and threads reading at once, still get their own pages.
TEST(OfficeEncryption, FilesUnderOtherKeysReadSideBySideAndInThreads) {
  std::string plain = PlainAceFile();
  std::string expected = ReadBuffer(plain, "");
  AgileSettings aes128;
  aes128.spinCount = 100;
  aes128.keyBits = 128;
  AgileSettings aes256 = aes128;
  aes256.keyBits = 256;
  std::vector<std::string> files = {EncryptAgile(plain, "one", aes128),
                                    EncryptAgile(plain, "two", aes256)};
  std::vector<Catalog> catalogs(2);
  std::vector<Recordset> rows(2);
  std::vector<std::string> texts(2);
  for (int i = 0; i < 2; ++i) {
    catalogs[i].OpenBuffer(files[i], i == 0 ? "one" : "two");
    rows[i].Open("SELECT * FROM [Orders]", catalogs[i]);
  }
  while (!rows[0].Eof() || !rows[1].Eof()) {
    for (int i = 0; i < 2; ++i) {
      if (rows[i].Eof()) continue;
      Fields fields = rows[i].Fields();
      for (long f = 0; f < fields.Count(); ++f) texts[i] += fields.Item(f).Value().ToText() + "|";
      texts[i] += "\n";
      rows[i].MoveNext();
    }
  }
  EXPECT_EQ("[Orders]\n" + texts[0], expected);
  EXPECT_EQ(texts[1], texts[0]);

  std::vector<std::string> threaded(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < threaded.size(); ++t) {
    threads.emplace_back([&, t] { threaded[t] = ReadBuffer(files[t % 2], t % 2 ? "two" : "one"); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& text : threaded) EXPECT_EQ(text, expected);
}

TEST(OfficeEncryption, UnknownSchemesAndDamagedDescriptionsAreNamed) {
  std::string plain = PlainAceFile();
  AgileSettings quick;
  quick.spinCount = 10;
  std::string agile = EncryptAgile(plain, "pw", quick);
  auto patched = [](std::string bytes, size_t at, std::string text) {
    bytes.replace(at, text.size(), text);
    return bytes;
  };
  constexpr size_t kInfo = 0x299 + 2;
  // Version 4.3 (extensible encryption) and standard AES encryption.
  EXPECT_NE(OpenError(patched(agile, kInfo, std::string("\x04\x00\x03\x00", 4)), "pw")
                .find("encrypted in a way this reader does not know"),
            std::string::npos);
  std::string rc4 = EncryptRc4CryptoApi(plain, "pw");
  EXPECT_NE(OpenError(patched(rc4, kInfo + 4, std::string("\x24\x00", 2)), "pw")
                .find("encrypted in a way this reader does not know"),
            std::string::npos);
  // A cipher other than AES, and a key value that is not base64.
  size_t cipher = agile.find("cipherAlgorithm=\"AES\"");
  ASSERT_NE(cipher, std::string::npos);
  EXPECT_NE(OpenError(patched(agile, cipher, "cipherAlgorithm=\"DES\""), "pw")
                .find("DES in ChainingModeCBC"),
            std::string::npos);
  size_t key = agile.find("encryptedKeyValue=\"");
  ASSERT_NE(key, std::string::npos);
  EXPECT_NE(OpenError(patched(agile, key + 19, "!!!!"), "pw").find("damaged"), std::string::npos);
  // A description longer than the header page holds.
  EXPECT_NE(OpenError(patched(agile, 0x299, std::string("\xFF\x0F", 2)), "pw").find("damaged"),
            std::string::npos);
}

class EncryptedCorpusFile : public ::testing::Test {
 protected:
  static std::string Path(const std::string& stem) {
    return std::string(BRACKEN_SHARED_DIR) + "/corpus/ace/" + stem + ".accdb";
  }
  void SetUp() override {
    if (!std::filesystem::exists(Path("withPasswordAgileV2010"))) {
      GTEST_SKIP() << "the corpus is not present beside the checkout";
    }
  }
  static std::string Bytes(const std::string& stem) {
    std::ifstream in(Path(stem), std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
  }
};

TEST_F(EncryptedCorpusFile, OpensWithItsPasswordOnly) {
  std::string bytes = Bytes("withPasswordAgileV2010");
  std::string content = ReadBuffer(bytes, "password");
  EXPECT_NE(content.find("[Table1]"), std::string::npos);
  for (const char* wrong : {"", "Password", "password;", "passwor"}) {
    EXPECT_EQ(OpenError(bytes, wrong), "Not a valid password.") << wrong;
  }
  Catalog catalog;
  catalog.SetActiveConnection(
      "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Path("withPasswordAgileV2010") +
      ";Jet OLEDB:Database Password=password");
  EXPECT_EQ(ReadEverything(catalog), content);
  // Its unencrypted twin has no password to check.
  EXPECT_EQ(OpenError(Bytes("noPasswordV2010"), "anything"), "");
}

}  // namespace
}  // namespace bracken::source
