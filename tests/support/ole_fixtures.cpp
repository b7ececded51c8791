#include "tests/support/ole_fixtures.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <cstdint>

namespace bracken::testing {

namespace {

void PutU16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// A u32 length counting the NUL, and the text with its NUL.
void PutLengthText(std::string& out, const std::string& text) {
  PutU32(out, static_cast<uint32_t>(text.size() + 1));
  out += text;
  out += '\0';
}

void PutUtf16(std::string& out, const std::string& ascii) {
  PutU32(out, static_cast<uint32_t>(ascii.size()));
  for (char c : ascii) PutU16(out, static_cast<unsigned char>(c));
}

const char kJpeg[] =
    "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x01\x00\x64\x00\x64\x00\x00"
    "\xff\xdb\x00\x43\x00\x03\x02\x02\x03\x02\x02\x03\x03\x03\x03\x04\x03\x03\x04\x05"
    "\x08\x05\x05\x04\x04\x05\x0a\x07\x07\x06\x08\x0c\x0a\x0c\x0c\x0b\x0a\x0b\x0b\x0d"
    "\x0e\x12\x10\x0d\x0e\x11\x0e\x0b\x0b\x10\x16\x10\x11\x13\x14\x15\x15\x15\x0c\x0f"
    "\x17\x18\x16\x14\x18\x12\x14\x15\x14\xff\xdb\x00\x43\x01\x03\x04\x04\x05\x04\x05"
    "\x09\x05\x05\x09\x14\x0d\x0b\x0d\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\xff\xc0"
    "\x00\x11\x08\x00\x03\x00\x04\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xc4\x00"
    "\x1f\x00\x00\x01\x05\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x01"
    "\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\xff\xc4\x00\xb5\x10\x00\x02\x01\x03\x03"
    "\x02\x04\x03\x05\x05\x04\x04\x00\x00\x01\x7d\x01\x02\x03\x00\x04\x11\x05\x12\x21"
    "\x31\x41\x06\x13\x51\x61\x07\x22\x71\x14\x32\x81\x91\xa1\x08\x23\x42\xb1\xc1\x15"
    "\x52\xd1\xf0\x24\x33\x62\x72\x82\x09\x0a\x16\x17\x18\x19\x1a\x25\x26\x27\x28\x29"
    "\x2a\x34\x35\x36\x37\x38\x39\x3a\x43\x44\x45\x46\x47\x48\x49\x4a\x53\x54\x55\x56"
    "\x57\x58\x59\x5a\x63\x64\x65\x66\x67\x68\x69\x6a\x73\x74\x75\x76\x77\x78\x79\x7a"
    "\x83\x84\x85\x86\x87\x88\x89\x8a\x92\x93\x94\x95\x96\x97\x98\x99\x9a\xa2\xa3\xa4"
    "\xa5\xa6\xa7\xa8\xa9\xaa\xb2\xb3\xb4\xb5\xb6\xb7\xb8\xb9\xba\xc2\xc3\xc4\xc5\xc6"
    "\xc7\xc8\xc9\xca\xd2\xd3\xd4\xd5\xd6\xd7\xd8\xd9\xda\xe1\xe2\xe3\xe4\xe5\xe6\xe7"
    "\xe8\xe9\xea\xf1\xf2\xf3\xf4\xf5\xf6\xf7\xf8\xf9\xfa\xff\xc4\x00\x1f\x01\x00\x03"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x01\x02\x03\x04\x05"
    "\x06\x07\x08\x09\x0a\x0b\xff\xc4\x00\xb5\x11\x00\x02\x01\x02\x04\x04\x03\x04\x07"
    "\x05\x04\x04\x00\x01\x02\x77\x00\x01\x02\x03\x11\x04\x05\x21\x31\x06\x12\x41\x51"
    "\x07\x61\x71\x13\x22\x32\x81\x08\x14\x42\x91\xa1\xb1\xc1\x09\x23\x33\x52\xf0\x15"
    "\x62\x72\xd1\x0a\x16\x24\x34\xe1\x25\xf1\x17\x18\x19\x1a\x26\x27\x28\x29\x2a\x35"
    "\x36\x37\x38\x39\x3a\x43\x44\x45\x46\x47\x48\x49\x4a\x53\x54\x55\x56\x57\x58\x59"
    "\x5a\x63\x64\x65\x66\x67\x68\x69\x6a\x73\x74\x75\x76\x77\x78\x79\x7a\x82\x83\x84"
    "\x85\x86\x87\x88\x89\x8a\x92\x93\x94\x95\x96\x97\x98\x99\x9a\xa2\xa3\xa4\xa5\xa6"
    "\xa7\xa8\xa9\xaa\xb2\xb3\xb4\xb5\xb6\xb7\xb8\xb9\xba\xc2\xc3\xc4\xc5\xc6\xc7\xc8"
    "\xc9\xca\xd2\xd3\xd4\xd5\xd6\xd7\xd8\xd9\xda\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xea"
    "\xf2\xf3\xf4\xf5\xf6\xf7\xf8\xf9\xfa\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11"
    "\x00\x3f\x00\xe8\x3e\x1e\xfc\x22\xf0\x77\xfc\x22\xf6\xbf\xf1\x4f\x59\xff\x00\xdf"
    "\x27\xd0\x7b\xd1\x45\x15\xfa\x2e\x2b\x1d\x8a\xf6\xf3\xfd\xec\xb7\x7f\x69\xff\x00"
    "\x99\xae\x43\x98\xe3\x7f\xb2\xb0\xdf\xbf\x9f\xc1\x1f\xb4\xfb\x7a\x9f\xff\xd9";

const char kPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x04"
    "\x00\x00\x00\x03\x08\x02\x00\x00\x00\x3b\x96\x39\x91\x00\x00\x00\x09\x70\x48\x59"
    "\x73\x00\x00\x0f\x61\x00\x00\x0f\x61\x01\xa8\x3f\xa7\x69\x00\x00\x00\x18\x49\x44"
    "\x41\x54\x08\x99\x63\x64\x60\x38\x61\xc3\xc0\x00\x41\x2c\x0c\x01\x0c\x70\x80\xc2"
    "\x01\x00\x3e\x7a\x02\x26\x3c\xe3\xbb\xe6\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42"
    "\x60\x82";

// A zip of the two parts that make a Word document (.docx) recognisable.
const char kDocx[] =
    "\x50\x4b\x03\x04\x14\x00\x00\x00\x00\x00\x00\x00\x21\x50\xe6\xb8\x74\x6b\x62\x00"
    "\x00\x00\x62\x00\x00\x00\x13\x00\x00\x00\x5b\x43\x6f\x6e\x74\x65\x6e\x74\x5f\x54"
    "\x79\x70\x65\x73\x5d\x2e\x78\x6d\x6c\x3c\x3f\x78\x6d\x6c\x20\x76\x65\x72\x73\x69"
    "\x6f\x6e\x3d\x22\x31\x2e\x30\x22\x3f\x3e\x3c\x54\x79\x70\x65\x73\x20\x78\x6d\x6c"
    "\x6e\x73\x3d\x22\x68\x74\x74\x70\x3a\x2f\x2f\x73\x63\x68\x65\x6d\x61\x73\x2e\x6f"
    "\x70\x65\x6e\x78\x6d\x6c\x66\x6f\x72\x6d\x61\x74\x73\x2e\x6f\x72\x67\x2f\x70\x61"
    "\x63\x6b\x61\x67\x65\x2f\x32\x30\x30\x36\x2f\x63\x6f\x6e\x74\x65\x6e\x74\x2d\x74"
    "\x79\x70\x65\x73\x22\x2f\x3e\x50\x4b\x03\x04\x14\x00\x00\x00\x00\x00\x00\x00\x21"
    "\x50\x52\x7c\xd6\x5d\x54\x00\x00\x00\x54\x00\x00\x00\x11\x00\x00\x00\x77\x6f\x72"
    "\x64\x2f\x64\x6f\x63\x75\x6d\x65\x6e\x74\x2e\x78\x6d\x6c\x3c\x77\x3a\x64\x6f\x63"
    "\x75\x6d\x65\x6e\x74\x20\x78\x6d\x6c\x6e\x73\x3a\x77\x3d\x22\x68\x74\x74\x70\x3a"
    "\x2f\x2f\x73\x63\x68\x65\x6d\x61\x73\x2e\x6f\x70\x65\x6e\x78\x6d\x6c\x66\x6f\x72"
    "\x6d\x61\x74\x73\x2e\x6f\x72\x67\x2f\x77\x6f\x72\x64\x70\x72\x6f\x63\x65\x73\x73"
    "\x69\x6e\x67\x6d\x6c\x2f\x32\x30\x30\x36\x2f\x6d\x61\x69\x6e\x22\x2f\x3e\x50\x4b"
    "\x01\x02\x14\x03\x14\x00\x00\x00\x00\x00\x00\x00\x21\x50\xe6\xb8\x74\x6b\x62\x00"
    "\x00\x00\x62\x00\x00\x00\x13\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x01"
    "\x00\x00\x00\x00\x5b\x43\x6f\x6e\x74\x65\x6e\x74\x5f\x54\x79\x70\x65\x73\x5d\x2e"
    "\x78\x6d\x6c\x50\x4b\x01\x02\x14\x03\x14\x00\x00\x00\x00\x00\x00\x00\x21\x50\x52"
    "\x7c\xd6\x5d\x54\x00\x00\x00\x54\x00\x00\x00\x11\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x80\x01\x93\x00\x00\x00\x77\x6f\x72\x64\x2f\x64\x6f\x63\x75\x6d\x65"
    "\x6e\x74\x2e\x78\x6d\x6c\x50\x4b\x05\x06\x00\x00\x00\x00\x02\x00\x02\x00\x80\x00"
    "\x00\x00\x16\x01\x00\x00\x00\x00";

}  // namespace

std::string SampleJpeg() { return std::string(kJpeg, sizeof kJpeg - 1); }
std::string SamplePng() { return std::string(kPng, sizeof kPng - 1); }
std::string SampleDocx() { return std::string(kDocx, sizeof kDocx - 1); }

std::string SampleDib() {
  std::string dib;
  PutU32(dib, 40);  // BITMAPINFOHEADER
  PutU32(dib, 4);
  PutU32(dib, 3);
  PutU16(dib, 1);
  PutU16(dib, 24);
  PutU32(dib, 0);   // BI_RGB
  PutU32(dib, 36);  // 3 rows of 12 bytes
  PutU32(dib, 2835);
  PutU32(dib, 2835);
  PutU32(dib, 0);
  PutU32(dib, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      dib += static_cast<char>(200);
      dib += static_cast<char>(80 * y);
      dib += static_cast<char>(60 * x);
    }
  }
  return dib;
}

std::string SampleBmpFile() {
  const std::string dib = SampleDib();
  std::string file("BM");
  PutU32(file, static_cast<uint32_t>(14 + dib.size()));
  PutU32(file, 0);
  PutU32(file, 14 + 40);
  return file + dib;
}

std::string SamplePdf() {
  return "%PDF-1.4\n"
         "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
         "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
         "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj\n"
         "trailer << /Root 1 0 R >>\n"
         "%%EOF\n";
}

std::string AccessOleValue(const std::string& name, const std::string& className,
                           const std::string& object) {
  const uint32_t nameOffset = 20;
  const uint32_t classOffset = nameOffset + static_cast<uint32_t>(name.size() + 1);
  const uint32_t headerBytes = classOffset + static_cast<uint32_t>(className.size() + 1);
  std::string value;
  PutU16(value, 0x1C15);
  PutU16(value, headerBytes);
  PutU32(value, 2);  // embedded
  PutU16(value, static_cast<uint32_t>(name.size() + 1));
  PutU16(value, static_cast<uint32_t>(className.size() + 1));
  PutU16(value, nameOffset);
  PutU16(value, classOffset);
  PutU16(value, 0xFFFF);
  PutU16(value, 0xFFFF);
  value += name;
  value += '\0';
  value += className;
  value += '\0';
  value += object;
  // Access ends the value with four bytes of its own.
  value += std::string("\x01\x05\x00\x00", 4);
  return value;
}

std::string Ole1Embedded(const std::string& className, const std::string& nativeData) {
  std::string object;
  PutU32(object, 0x0501);
  PutU32(object, 2);
  PutLengthText(object, className);
  PutU32(object, 0);  // no topic
  PutU32(object, 0);  // no item
  PutU32(object, static_cast<uint32_t>(nativeData.size()));
  object += nativeData;
  // The presentation: a metafile picture of one empty record.
  PutU32(object, 0x0501);
  PutU32(object, 5);
  PutLengthText(object, "METAFILEPICT");
  PutU32(object, 100);
  PutU32(object, 100);
  const std::string metafile(
      "\x01\x00\x09\x00\x00\x03\x0c\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x03\x00\x00\x00\x00\x00",
      22);
  PutU32(object, static_cast<uint32_t>(8 + metafile.size()));
  object += std::string(8, '\0') + metafile;
  return object;
}

std::string PackageNative(const std::string& label, const std::string& originalPath,
                          const std::string& contents, bool unicode) {
  const std::string temporaryPath = "C:\\Temp\\" + label;
  std::string data;
  PutU16(data, 2);
  data += label + '\0';
  data += originalPath + '\0';
  PutU16(data, 0);
  PutU16(data, 3);
  PutU32(data, static_cast<uint32_t>(temporaryPath.size() + 1));
  data += temporaryPath + '\0';
  PutU32(data, static_cast<uint32_t>(contents.size()));
  data += contents;
  if (unicode) {
    PutUtf16(data, temporaryPath);
    PutUtf16(data, label);
    PutUtf16(data, originalPath);
  }
  return data;
}

std::string CompoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* storage = gsf_outfile_msole_new(memory);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* stream = gsf_outfile_new_child(storage, name.c_str(), FALSE);
    gsf_output_write(stream, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(stream);
    g_object_unref(stream);
  }
  gsf_output_close(GSF_OUTPUT(storage));
  g_object_unref(storage);
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
  std::string file(reinterpret_cast<const char*>(bytes),
                   static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return file;
}

std::vector<OleSample> OleSamples() {
  std::vector<OleSample> samples;
  samples.push_back({"paint bitmap",
                     AccessOleValue("Bitmap Image", "PBrush", Ole1Embedded("PBrush", SampleDib())),
                     "PBrush", "bmp", SampleBmpFile(), "", "image/bmp"});
  const std::string text = "Quarterly figures\r\n";
  samples.push_back(
      {"package",
       AccessOleValue("Package", "Package",
                      Ole1Embedded("Package", PackageNative("report.txt",
                                                            "C:\\Users\\Ann\\report.txt", text))),
       "Package", "package", text, "report.txt", "text/plain"});
  // A picture server that keeps a header of its own before the JPEG.
  samples.push_back(
      {"photo editor jpeg",
       AccessOleValue("Picture", "MSPhotoEd.3",
                      Ole1Embedded("MSPhotoEd.3", std::string("PHED\x01\x00\x00\x00", 8) +
                                                      SampleJpeg() + std::string(6, '\0'))),
       "MSPhotoEd.3", "jpeg", SampleJpeg(), "", "image/jpeg"});
  samples.push_back({"acrobat pdf",
                     AccessOleValue("Adobe Acrobat Document", "AcroExch.Document.7",
                                    Ole1Embedded("AcroExch.Document.7",
                                                 CompoundFile({{"CONTENTS", SamplePdf()}}))),
                     "AcroExch.Document.7", "pdf", SamplePdf(), "", "application/pdf"});
  const std::string workbook =
      CompoundFile({{"Workbook", std::string(4096, '\x09')}, {"\x05SummaryInformation", "x"}});
  samples.push_back({"excel storage",
                     AccessOleValue("Microsoft Excel Worksheet", "Excel.Sheet.8",
                                    Ole1Embedded("Excel.Sheet.8", workbook)),
                     "Excel.Sheet.8", "xls", workbook, "", "application/vnd.ms-excel"});
  // Word 2007 and later keep the .docx whole in the storage's "Package" stream.
  samples.push_back(
      {"word package stream",
       AccessOleValue("Microsoft Word Document", "Word.Document.12",
                      Ole1Embedded("Word.Document.12", CompoundFile({{"Package", SampleDocx()},
                                                                     {"\x01"
                                                                      "CompObj",
                                                                      "Word"}}))),
       "Word.Document.12", "docx", SampleDocx(), "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.document"});
  samples.push_back(
      {"png after its own header",
       AccessOleValue("Picture", "Contoso.Image",
                      Ole1Embedded("Contoso.Image", std::string("CTSO", 4) + SamplePng())),
       "Contoso.Image", "png", SamplePng(), "", "image/png"});
  samples.push_back(
      {"unknown class",
       AccessOleValue("Sound", "SoundRec", Ole1Embedded("SoundRec", std::string(64, '\x11'))),
       "SoundRec", "none", "", "", ""});
  std::string damaged =
      AccessOleValue("Bitmap Image", "PBrush", Ole1Embedded("PBrush", SampleDib()));
  damaged[2] = '\xFF';  // a header longer than the value
  damaged[3] = '\x7F';
  samples.push_back({"damaged header", damaged, "", "none", "", "", ""});
  std::string cut = Ole1Embedded("Package", PackageNative("a.txt", "C:\\a.txt", text, false));
  cut.resize(cut.size() - 100);  // the native data's size names more than follows
  samples.push_back({"truncated package", AccessOleValue("Package", "Package", cut), "Package",
                     "none", "", "", ""});
  samples.push_back({"empty", "", "", "none", "", "", ""});
  return samples;
}

}  // namespace bracken::testing
