#include <windows.h>

#include <gtest/gtest.h>

#include "app/file_list.h"
#include "collect/collect_files.h"
#include "tests/support/fake_window.h"
#include "tests/collect/tree.h"
#include "text/encoding.h"

namespace {

void TouchWide(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

}  // namespace

// On the Chinese code page the second byte of some characters is 0x5C, the
// backslash's byte: a folder ending in one still needs its separator.
TEST(CollectWalkWin32, FolderEndingInATrailByte5C) {
  if (GetACP() != 936) GTEST_SKIP() << "needs code page 936";
  TempTree t;
  const std::string name = "x\x81\x5c";  // x followed by U+4E57, GBK 81 5C
  const std::wstring folder = AnsiToWide(t.root() + "\\" + name);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  TouchWide(folder + L"\\in.xlsx");
  ScopedFakeWindow fake;
  const int before = FileList.Count();
  CollectFiles(t.root() + "\\" + name, "");
  ASSERT_EQ(FileList.Count(), before + 1);
  EXPECT_EQ(FileList.At(before + 1), t.root() + "\\" + name + "\\in.xlsx");
}
