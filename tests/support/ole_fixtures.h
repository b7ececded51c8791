#pragma once

// OLE Object values as Access writes them, built from the published layouts
// for tests: Access's header, the OLE 1.0 object, a Packager's package, a
// compound file (OLE 2.0 storage), and small sample files (a JPEG, a PNG, a
// bare bitmap, a PDF) to put in them. Whole values of each kind a test of
// extraction needs are at the end.

#include <string>
#include <utility>
#include <vector>

namespace bracken::testing {

// Sample files: a 4 x 3 picture as JPEG and PNG, a 4 x 3 24-bit
// device-independent bitmap without its file header (as Paint keeps it)
// and the same as a .bmp file, a one-page PDF and a (bare) .docx zip.
std::string SampleJpeg();
std::string SamplePng();
std::string SampleDocx();
std::string SampleDib();
std::string SampleBmpFile();
std::string SamplePdf();

// Access's header ("name" as the user saw it, the server's class name)
// followed by `object`.
std::string AccessOleValue(const std::string& name, const std::string& className,
                           const std::string& object);
// An embedded OLE 1.0 object of the class with its native data, followed by
// a presentation of the class "METAFILEPICT" holding a tiny metafile.
std::string Ole1Embedded(const std::string& className, const std::string& nativeData);
// A Packager's native data for an embedded file, with its texts again in
// UTF-16 when `unicode`.
std::string PackageNative(const std::string& label, const std::string& originalPath,
                          const std::string& contents, bool unicode = true);
// A compound file holding these top-level streams (written with libgsf).
std::string CompoundFile(const std::vector<std::pair<std::string, std::string>>& streams);

// Whole values of each kind, with the file that should come out of them.
struct OleSample {
  std::string label;  // for test names: "paint bitmap", ...
  std::string value;
  std::string className;
  std::string embeddedType;
  std::string file;      // "" when none comes out
  std::string fileName;  // the package's own; "" when a name is made
  std::string mimeType;
};
// Paint's bare bitmap (PBrush), a package of "report.txt", a JPEG behind a
// picture server's own header (class MSPhotoEd.3), a PDF in Acrobat's storage, an Excel
// workbook's storage, a .docx in Word's storage, a PNG after its own header
// of an unknown class, an
// unknown class holding no file, a damaged header, a truncated package and
// the empty value.
std::vector<OleSample> OleSamples();

}  // namespace bracken::testing
