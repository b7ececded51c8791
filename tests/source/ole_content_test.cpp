// What is inside OLE Object values: every kind the fixtures write (Paint's
// bitmap, a package, a JPEG in a picture container, a PDF and a workbook in
// their storages, a PNG after an unknown header, an unknown class, damaged
// and empty values) gives its class, its embedded type and the file it
// holds byte for byte; every picture taken out decodes as one; damaged and
// mutated values are told damaged or read within their bounds, never past
// them; and the corpus's one OLE value is named by its class.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#ifdef BRACKEN_TESTS_HAVE_QT_GUI
#include <QImage>
#endif

#include "source/data_type_code.h"
#include "source/ole/ole_content.h"
#include "source/source_access.h"
#include "tests/support/ole_fixtures.h"

namespace bracken::source::ole {
namespace {

using testing::OleSample;
using testing::OleSamples;

TEST(OleContent, EveryKindGivesItsClassTypeAndFile) {
  for (const OleSample& sample : OleSamples()) {
    SCOPED_TRACE(sample.label);
    const OleContent content = ReadOleContent(sample.value);
    EXPECT_EQ(content.className, sample.className);
    EXPECT_EQ(content.embeddedType, sample.embeddedType);
    EXPECT_EQ(content.file, sample.file);
    EXPECT_EQ(content.mimeType, sample.mimeType);
    if (sample.file.empty()) {
      EXPECT_NE(content.state, OleState::File);
      continue;
    }
    EXPECT_EQ(content.state, OleState::File);
    const std::string name = OleFileName(content, "Photo Ä");
    if (!sample.fileName.empty()) {
      EXPECT_EQ(name, sample.fileName);
    } else {
      // Made from the column, a digest of the bytes and the extension.
      EXPECT_EQ(name.substr(0, 8), "Photo___");
      EXPECT_EQ(name.size(), 8 + 8 + 1 + content.extension.size());
      EXPECT_EQ(name.substr(name.size() - content.extension.size() - 1), "." + content.extension);
    }
  }
}

TEST(OleContent, DamagedEmptyAndForeignValuesAreToldApart) {
  std::vector<OleSample> samples = OleSamples();
  auto state = [&](const char* label) {
    for (const OleSample& sample : samples) {
      if (sample.label == label) return ReadOleContent(sample.value).state;
    }
    ADD_FAILURE() << label;
    return OleState::Empty;
  };
  EXPECT_EQ(state("damaged header"), OleState::Damaged);
  EXPECT_EQ(state("truncated package"), OleState::Damaged);
  EXPECT_EQ(state("unknown class"), OleState::NoFile);
  EXPECT_EQ(state("empty"), OleState::Empty);
  EXPECT_EQ(OleClassLabel(ReadOleContent("")), "(empty)");
  EXPECT_EQ(OleClassLabel(ReadOleContent(std::string(40, 'x'))), "(no OLE header)");
  EXPECT_EQ(ReadOleContent("BM" + std::string(40, 'x')).state, OleState::NotOle);
  // A file stored without Access's header is still known by its signature.
  const OleContent bare = ReadOleContent(testing::SampleJpeg());
  EXPECT_EQ(bare.embeddedType, "jpeg");
  EXPECT_EQ(bare.file, testing::SampleJpeg());
}

// A static picture (no server, a bitmap alone), a linked file, and a server
// that keeps its picture in a stream of its own name.
TEST(OleContent, StaticLinkedAndOwnStreamObjects) {
  std::string staticPicture;
  auto put32 = [](std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
  };
  put32(staticPicture, 0x0501);
  put32(staticPicture, 5);
  put32(staticPicture, 4);
  staticPicture += std::string("DIB") + '\0';
  put32(staticPicture, 4);
  put32(staticPicture, 3);
  put32(staticPicture, static_cast<uint32_t>(testing::SampleDib().size()));
  staticPicture += testing::SampleDib();
  OleContent content = ReadOleContent(testing::AccessOleValue("Picture", "", staticPicture));
  EXPECT_EQ(content.embeddedType, "bmp");
  EXPECT_EQ(content.file, testing::SampleBmpFile());

  std::string link;
  put32(link, 0x0501);
  put32(link, 1);
  for (const std::string text : {"Word.Document.8", "C:\\Letters\\Ann.doc", ""}) {
    put32(link, static_cast<uint32_t>(text.size() + 1));
    link += text + '\0';
  }
  content = ReadOleContent(testing::AccessOleValue("Document", "Word.Document.8", link));
  EXPECT_EQ(content.state, OleState::NoFile);
  EXPECT_EQ(content.embeddedType, "link");

  const std::string storage = testing::CompoundFile({{"\x01"
                                                      "CompObj",
                                                      "x"},
                                                     {"Image Data", testing::SamplePng()}});
  content = ReadOleContent(testing::AccessOleValue(
      "Picture", "Imaging.Picture", testing::Ole1Embedded("Imaging.Picture", storage)));
  EXPECT_EQ(content.embeddedType, "png");
  EXPECT_EQ(content.file, testing::SamplePng());
}

#ifdef BRACKEN_TESTS_HAVE_QT_GUI
TEST(OleContent, EveryPictureTakenOutDecodes) {
  int pictures = 0;
  for (const OleSample& sample : OleSamples()) {
    const OleContent content = ReadOleContent(sample.value);
    if (content.mimeType.rfind("image/", 0) != 0) continue;
    SCOPED_TRACE(sample.label);
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(content.file.data()),
                                   static_cast<int>(content.file.size())));
    EXPECT_EQ(image.width(), 4);
    EXPECT_EQ(image.height(), 3);
    ++pictures;
  }
  EXPECT_EQ(pictures, 3);
}
#endif

// Truncated and scribbled-over values: none may crash or read past its end
// (the sanitizer build sees that), and whatever is taken out lies inside the
// value or is a bitmap made from it.
TEST(OleContent, MutatedValuesAreReadWithinTheirBounds) {
  std::mt19937 random(26);
  int cases = 0;
  for (const OleSample& sample : OleSamples()) {
    if (sample.value.empty()) continue;
    for (std::size_t cut = 0; cut < sample.value.size(); cut += 1 + sample.value.size() / 150) {
      ReadOleContent(std::string_view(sample.value).substr(0, cut));
      ++cases;
    }
    for (int round = 0; round < 250; ++round) {
      std::string value = sample.value;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        value[random() % value.size()] = static_cast<char>(random() % 256);
      }
      const OleContent content = ReadOleContent(value);
      if (content.state == OleState::File) {
        EXPECT_LE(content.file.size(), value.size() + 14);
      }
      ++cases;
    }
  }
  EXPECT_GT(cases, 2500);
}

TEST(OleContent, CorpusValueIsNamedByItsClass) {
  const std::string file = std::string(BRACKEN_SHARED_DIR) + "/corpus/jet4/test2V2000.mdb";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "the corpus is not present";
  for (const char* name : {"jet3/test2V1997.mdb", "jet4/test2V2000.mdb", "ace/test2V2007.accdb"}) {
    SCOPED_TRACE(name);
    Recordset rows;
    rows.Open("SELECT * FROM [MSP_PROJECTS]",
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(BRACKEN_SHARED_DIR) +
                  "/corpus/" + name);
    std::vector<OleContent> values;
    for (; !rows.Eof(); rows.MoveNext()) {
      for (long i = 0; i < rows.Fields().Count(); ++i) {
        Field field = rows.Fields().Item(i);
        if (field.Type() != adLongVarBinary || field.Value().IsNull()) continue;
        values.push_back(ReadOleContent(field.Value().Bytes()));
      }
    }
    ASSERT_EQ(values.size(), 1u);
    // A Word document embedded whole, as its storage.
    EXPECT_EQ(values[0].className, "Word.Document.8");
    EXPECT_EQ(values[0].embeddedType, "doc");
    EXPECT_EQ(values[0].mimeType, "application/msword");
  }
}

}  // namespace
}  // namespace bracken::source::ole
