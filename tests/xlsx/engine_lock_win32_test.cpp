// A workbook another program holds open cannot be saved over: the save fails
// with a reason and the file stays as it was (Windows file sharing).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/xlsx/builtin_application.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EngineWin32, ALockedFileIsNotSavedOver) {
  std::filesystem::create_directories("work/locked");
  std::string path = "work/locked/book.xlsx";
  std::filesystem::remove(path);
  std::filesystem::copy_file("fixtures/basic.xlsx", path);
  std::string before = ReadAll(path);
  ObjectRef app = CreateBuiltinApplication();
  Variant books, book, sheets, sheet, range;
  std::string why;
  ASSERT_TRUE(app->Get("Workbooks", {}, &books, &why)) << why;
  ASSERT_TRUE(books.object->Call("Open", {Variant::MakeText(path)}, &book, &why)) << why;
  ASSERT_TRUE(book.object->Get("Sheets", {}, &sheets, &why));
  ASSERT_TRUE(sheets.object->Get("Item", {Variant::MakeInteger(1)}, &sheet, &why));
  ASSERT_TRUE(sheet.object->Get("Range", {Variant::MakeText("A1")}, &range, &why));
  ASSERT_TRUE(range.object->Put("Value", {}, Variant::MakeText("changed"), &why));

  // As a spreadsheet application holds a file it has open: no sharing.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  Variant ignored;
  EXPECT_FALSE(book.object->Call("Save", {}, &ignored, &why));
  EXPECT_NE(std::string::npos, why.find("locked")) << why;
  CloseHandle(h);
  EXPECT_EQ(before, ReadAll(path));
  // Nothing left behind in the folder.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator("work/locked")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(1, files);
  // Once the other program lets go, the save goes through.
  EXPECT_TRUE(book.object->Call("Save", {}, &ignored, &why)) << why;
  EXPECT_NE(before, ReadAll(path));
}

}  // namespace
