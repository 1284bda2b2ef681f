// libFuzzer target for the XML readers: the input is the text of the parts
// of a package, separated by lines "----"; they are zipped up as content
// types, package relationships, workbook, workbook relationships, sheet,
// shared strings and styles, so mutations reach the XML and not the checksums.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/exercise.h"
#include "spreadsheet/xlsx/zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* kNames[] = {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                 "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml",
                                 "xl/sharedStrings.xml", "xl/styles.xml"};
  std::string in(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  size_t at = 0;
  while (parts.size() < 7) {
    size_t cut = in.find("\n----\n", at);
    if (cut == std::string::npos) {
      parts.push_back(in.substr(at));
      break;
    }
    parts.push_back(in.substr(at, cut - at));
    at = cut + 6;
  }
  xlsx::ZipWriter w(0);
  std::string why;
  for (size_t i = 0; i < parts.size(); ++i) w.AddDeflated(kNames[i], parts[i], 0, 0x21, &why);
  std::string zip;
  if (!w.Finish(&zip, &why)) return 0;
  ExerciseWorkbook(std::move(zip));
  return 0;
}
