// The built-in engine through its object model, by member name, as the tool
// and the stand-in automation server drive it. Fixtures come from openpyxl and
// xlsxwriter (see tests/fixtures/make_fixtures.py).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/value_text.h"
#include "spreadsheet/xlsx/builtin_application.h"
#include "spreadsheet/xlsx/zip.h"
#include "text/encoding.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// A fresh copy of a fixture in a folder of the test's own.
std::string Copy(const std::string& fixture, const std::string& as) {
  fs::path dir = fs::path("work") / ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::create_directories(dir);
  fs::path dst = dir / as;
  if (fs::exists(dst)) {
    fs::permissions(dst, fs::perms::owner_all);
    fs::remove(dst);
  }
  fs::copy_file(fs::path("fixtures") / fixture, dst);
  return dst.string();
}

Variant Text(const std::string& s) { return Variant::MakeText(s); }
Variant Int(long long n) { return Variant::MakeInteger(n); }

class Engine : public ::testing::Test {
 protected:
  void SetUp() override { app = CreateBuiltinApplication(); }

  Variant Get(const ObjectRef& o, const std::string& name, std::vector<Variant> args = {}) {
    Variant v;
    std::string why;
    EXPECT_TRUE(o->Get(name, args, &v, &why)) << name << ": " << why;
    return v;
  }
  ObjectRef Obj(const ObjectRef& o, const std::string& name, std::vector<Variant> args = {}) {
    Variant v = Get(o, name, std::move(args));
    EXPECT_EQ(VariantKind::Object, v.kind) << name;
    return v.object;
  }
  void Put(const ObjectRef& o, const std::string& name, const Variant& value) {
    std::string why;
    EXPECT_TRUE(o->Put(name, {}, value, &why)) << name << ": " << why;
  }
  bool CallOk(const ObjectRef& o, const std::string& name, std::vector<Variant> args, std::string* why) {
    Variant v;
    return o->Call(name, args, &v, why);
  }
  ObjectRef Open(const std::string& path) {
    return Obj(Obj(app, "Workbooks"), "Open", {Text(path)});
  }
  ObjectRef Sheet(const ObjectRef& book, int n) { return Obj(Obj(book, "Sheets"), "Item", {Int(n)}); }
  // What the batch does to a matching cell.
  void Rewrite(const ObjectRef& sheet, const std::string& cell, const std::string& text) {
    ObjectRef r = Obj(sheet, "Range", {Text(cell), Text(cell)});
    Put(r, "Value", Text(text));
    Put(r, "ShrinkToFit", Variant::MakeLogical(true));
    Put(r, "HorizontalAlignment", Int(-4108));
  }
  std::string CellText(const ObjectRef& sheet, const std::string& cell) {
    return ValueToText(Get(Obj(sheet, "Range", {Text(cell)}), "Value"));
  }

  ObjectRef app;
};

TEST_F(Engine, ReadsSheetsInOrderWithChartSheetsCounted) {
  ObjectRef book = Open("fixtures/basic.xlsx");
  ObjectRef sheets = Obj(book, "Sheets");
  EXPECT_EQ(4, Get(sheets, "Count").integer);
  const char* names[] = {"Data", "Second", "Empty", "Chart"};
  for (int i = 1; i <= 4; ++i) {
    ObjectRef s = Obj(sheets, "Item", {Int(i)});
    EXPECT_EQ(names[i - 1], Get(s, "Name").text);
    EXPECT_EQ(i, Get(s, "Index").integer);
  }
  // The chart sheet has no used range, as with the application.
  Variant v;
  std::string why;
  EXPECT_FALSE(Sheet(book, 4)->Get("UsedRange", {}, &v, &why));
  EXPECT_NE(std::string::npos, why.find("UsedRange")) << why;
  // Application.Sheets is the active workbook's.
  EXPECT_EQ(4, Get(Obj(app, "Sheets"), "Count").integer);
  EXPECT_FALSE(sheets->Get("Item", {Int(5)}, &v, &why));
  EXPECT_FALSE(sheets->Get("Item", {Int(0)}, &v, &why));
}

TEST_F(Engine, TheWorkbookPartIsFoundThroughThePackageRelationships) {
  std::string path = Copy("renamed.xlsx", "book.xlsx");
  ObjectRef book = Open(path);
  EXPECT_EQ("found abc", CellText(Sheet(book, 1), "A1"));
  Rewrite(Sheet(book, 1), "A1", "saved");
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  CallOk(Obj(app, "Workbooks"), "Close", {}, &why);
  EXPECT_EQ("saved", CellText(Sheet(Open(path), 1), "A1"));
}

TEST_F(Engine, UsedRangeIsTheBoundingBoxOfPresentCells) {
  ObjectRef book = Open("fixtures/basic.xlsx");
  struct {
    int sheet, row, col, rows, cols;
  } cases[] = {{1, 1, 1, 6, 3}, {2, 5, 3, 6, 4}, {3, 1, 1, 1, 1}};
  for (const auto& c : cases) {
    ObjectRef used = Obj(Sheet(book, c.sheet), "UsedRange");
    EXPECT_EQ(c.row, Get(used, "Row").integer) << c.sheet;
    EXPECT_EQ(c.col, Get(used, "Column").integer) << c.sheet;
    EXPECT_EQ(c.rows, Get(Obj(used, "Rows"), "Count").integer) << c.sheet;
    EXPECT_EQ(c.cols, Get(Obj(used, "Columns"), "Count").integer) << c.sheet;
    EXPECT_EQ(static_cast<long long>(c.rows) * c.cols, Get(used, "Count").integer) << c.sheet;
  }
}

TEST_F(Engine, ValuesKeepTheirKinds) {
  ObjectRef book = Open("fixtures/basic.xlsx");
  ObjectRef data = Sheet(book, 1);
  Variant all = Get(Obj(data, "UsedRange"), "Value");
  ASSERT_EQ(VariantKind::Array, all.kind);
  ASSERT_EQ(6, all.rows);
  ASSERT_EQ(3, all.cols);
  EXPECT_EQ(VariantKind::Text, all.At(1, 1).kind);
  EXPECT_EQ("apple pie", all.At(1, 1).text);
  EXPECT_EQ(VariantKind::Real, all.At(1, 2).kind);
  EXPECT_EQ(42, all.At(1, 2).real);
  EXPECT_EQ(FromUtf8("中文文本"), all.At(2, 1).text);
  EXPECT_EQ(VariantKind::Logical, all.At(2, 2).kind);
  EXPECT_TRUE(all.At(2, 2).logical);
  EXPECT_EQ(VariantKind::Date, all.At(3, 1).kind);
  EXPECT_EQ("2023/3/15 18:00:00", ValueToText(all.At(3, 1)));
  EXPECT_EQ("2024/1/2", ValueToText(all.At(3, 2)));
  EXPECT_EQ(VariantKind::Empty, all.At(5, 1).kind);
  EXPECT_EQ("1E+20", ValueToText(all.At(4, 3)));
  // One cell gives a scalar, the same as its element of the array.
  Variant one = Get(Obj(data, "Range", {Text("B4")}), "Value");
  EXPECT_EQ(VariantKind::Text, one.kind);
  EXPECT_EQ("xabcx", one.text);

  ObjectRef xw = Sheet(Open("fixtures/xw.xlsx"), 1);
  EXPECT_EQ("shared abc", CellText(xw, "A2"));
  EXPECT_EQ("rich abc text", CellText(xw, "A3"));  // rich text runs joined
  EXPECT_EQ("2020/2/29 6:30:00", CellText(xw, "C1"));
  EXPECT_EQ("7", CellText(xw, "D3"));    // formula result
  EXPECT_EQ("abcdef", CellText(xw, "F1"));  // formula string result
  EXPECT_EQ("-1", CellText(xw, "G1"));
  Variant err = Get(Obj(xw, "Range", {Text("H1")}), "Value");
  EXPECT_EQ(VariantKind::Error, err.kind);
  EXPECT_EQ(2042, err.integer);
  EXPECT_EQ("  spaced  ", CellText(xw, "A5"));
  EXPECT_EQ("line1\nline2", CellText(xw, "A6"));
}

TEST_F(Engine, NumberFormatsDecideDates) {
  // Column B of each row says what column A's format makes of the same number.
  ObjectRef s = Sheet(Open("fixtures/formats.xlsx"), 1);
  Variant all = Get(Obj(s, "UsedRange"), "Value");
  ASSERT_EQ(VariantKind::Array, all.kind);
  for (int r = 1; r <= all.rows; ++r) {
    bool date = all.At(r, 2).text == "date";
    EXPECT_EQ(date ? VariantKind::Date : VariantKind::Real, all.At(r, 1).kind) << "row " << r;
    // 1904 date system: the same serial is 1462 days later.
    if (date) {
      EXPECT_EQ("2027/3/16 12:00:00", ValueToText(all.At(r, 1)));
    }
  }
  EXPECT_EQ("2023/3/15 12:00:00", ValueToText(all.At(1, 3)));
}

TEST_F(Engine, UnknownMembersFailWithAReason) {
  ObjectRef book = Open("fixtures/basic.xlsx");
  ObjectRef range = Obj(Sheet(book, 1), "Range", {Text("A1")});
  struct {
    ObjectRef obj;
    const char* name;
  } cases[] = {{app, "Frobnicate"}, {Obj(app, "Workbooks"), "Nope"}, {book, "UsedRange"},
               {Obj(book, "Sheets"), "Value"}, {Sheet(book, 1), "Value"}, {range, "Formula"}};
  for (const auto& c : cases) {
    Variant v;
    std::string why;
    EXPECT_FALSE(c.obj->Get(c.name, {}, &v, &why)) << c.name;
    EXPECT_NE(std::string::npos, why.find(c.name)) << why;
  }
  std::string why;
  EXPECT_FALSE(range->Put("HorizontalAlignment", {}, Int(12345), &why));
  EXPECT_FALSE(Obj(Sheet(book, 1), "Range", {Text("A1")})->Get("Nope", {}, nullptr, &why));
  Variant v;
  EXPECT_FALSE(Sheet(book, 1)->Get("Range", {Text("1A")}, &v, &why));
}

TEST_F(Engine, WritesSaveAndReadBack) {
  std::string path = Copy("basic.xlsx", "book.xlsx");
  ObjectRef book = Open(path);
  EXPECT_TRUE(Get(book, "Saved").logical);
  Rewrite(Sheet(book, 1), "B4", FromUtf8("替换 <&>"));
  Rewrite(Sheet(book, 2), "F10", "X");
  Rewrite(Sheet(book, 1), "B1", "");  // a number becomes empty
  EXPECT_FALSE(Get(book, "Saved").logical);
  EXPECT_EQ(FromUtf8("替换 <&>"), CellText(Sheet(book, 1), "B4"));
  std::string why;
  ObjectRef old_range = Obj(Sheet(book, 1), "Range", {Text("B4")});
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  EXPECT_TRUE(Get(book, "Saved").logical);
  // The workbook goes on after a save, from what was saved.
  EXPECT_EQ(FromUtf8("替换 <&>"), ValueToText(Get(old_range, "Value")));
  Rewrite(Sheet(book, 2), "C6", "second save");
  EXPECT_FALSE(Get(book, "Saved").logical);
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  ASSERT_TRUE(CallOk(Obj(app, "Workbooks"), "Close", {}, &why)) << why;

  ObjectRef again = Open(path);
  EXPECT_EQ("second save", CellText(Sheet(again, 2), "C6"));
  EXPECT_EQ(FromUtf8("替换 <&>"), CellText(Sheet(again, 1), "B4"));
  EXPECT_EQ("X", CellText(Sheet(again, 2), "F10"));
  EXPECT_EQ(VariantKind::Empty, Get(Obj(Sheet(again, 1), "Range", {Text("B1")}), "Value").kind);
  EXPECT_EQ("apple pie", CellText(Sheet(again, 1), "A1"));
  EXPECT_EQ("r5c3", CellText(Sheet(again, 2), "C5"));
  EXPECT_EQ(4, Get(Obj(again, "Sheets"), "Count").integer);
}

TEST_F(Engine, UnchangedPartsAreCopiedByteForByte) {
  std::string path = Copy("xw.xlsx", "book.xlsx");
  std::string before = ReadFile(path);
  ObjectRef book = Open(path);
  Rewrite(Sheet(book, 1), "A1", "new");
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  std::string after = ReadFile(path);
  xlsx::ZipReader a, b;
  ASSERT_TRUE(a.Open(&before, &why)) << why;
  ASSERT_TRUE(b.Open(&after, &why)) << why;
  ASSERT_EQ(a.entries().size(), b.entries().size());
  int changed = 0;
  for (size_t i = 0; i < a.entries().size(); ++i) {
    const xlsx::ZipEntry& e = a.entries()[i];
    int j = b.Find(e.name);
    ASSERT_GE(j, 0) << e.name;
    const xlsx::ZipEntry& f = b.entries()[static_cast<size_t>(j)];
    bool same = e.compressed_size == f.compressed_size && e.crc == f.crc &&
                std::string(a.Raw(static_cast<int>(i)), e.compressed_size) == std::string(b.Raw(j), f.compressed_size);
    if (e.name == "xl/worksheets/sheet1.xml" || e.name == "xl/styles.xml") {
      EXPECT_FALSE(same) << e.name;
      ++changed;
    } else {
      EXPECT_TRUE(same) << e.name;
    }
  }
  EXPECT_EQ(2, changed);
}

TEST_F(Engine, AWorkbookWithoutChangesIsNotRewritten) {
  std::string path = Copy("basic.xlsx", "book.xlsx");
  std::string before = ReadFile(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ObjectRef book = Open(path);
  // Reading everything changes nothing; a save of a read-only file then succeeds
  // only because there is nothing to write.
  Get(Obj(Sheet(book, 1), "UsedRange"), "Value");
  std::string why;
  EXPECT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  EXPECT_TRUE(CallOk(app, "SendKeys", {Text("^s"), Int(1)}, &why)) << why;
  EXPECT_EQ(before, ReadFile(path));
  fs::permissions(path, fs::perms::owner_all);
}

TEST_F(Engine, AReadOnlyFileIsRefusedAndLeftWhole) {
  std::string path = Copy("basic.xlsx", "readonly.xlsx");
  std::string before = ReadFile(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ObjectRef book = Open(path);
  Rewrite(Sheet(book, 1), "A1", "changed");
  std::string why;
  EXPECT_FALSE(CallOk(book, "Save", {}, &why));
  EXPECT_NE(std::string::npos, why.find("read-only")) << why;
  EXPECT_FALSE(CallOk(app, "SendKeys", {Text("^s"), Int(1)}, &why));
  fs::permissions(path, fs::perms::owner_all);
  EXPECT_EQ(before, ReadFile(path));
  // Nothing left behind in the folder either.
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(path).parent_path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(1, files);
}

TEST_F(Engine, SendKeysCtrlSSavesTheActiveWorkbook) {
  std::string path = Copy("macro.xlsm", "book.xlsm");
  ObjectRef book = Open(path);
  Rewrite(Sheet(book, 1), "A1", "saved by keys");
  std::string why;
  ASSERT_TRUE(CallOk(app, "SendKeys", {Text("^s"), Int(1)}, &why)) << why;
  ASSERT_TRUE(CallOk(Obj(app, "Workbooks"), "Close", {}, &why));
  EXPECT_EQ(0, Get(Obj(app, "Workbooks"), "Count").integer);
  EXPECT_EQ("saved by keys", CellText(Sheet(Open(path), 1), "A1"));
}

TEST_F(Engine, ApplicationLifecycle) {
  ObjectRef books = Obj(app, "Workbooks");
  EXPECT_EQ(0, Get(books, "Count").integer);
  Variant w = Get(app, "ActiveWindow");
  EXPECT_FALSE(w.object);  // nothing open: no active window
  ObjectRef blank = Obj(books, "Add");
  EXPECT_EQ(1, Get(books, "Count").integer);
  EXPECT_EQ(1, Get(Obj(app, "Sheets"), "Count").integer);
  EXPECT_EQ(1, Get(Obj(Sheet(blank, 1), "UsedRange"), "Count").integer);
  std::string why;
  EXPECT_TRUE(CallOk(Obj(app, "ActiveWindow"), "Activate", {}, &why)) << why;
  Put(app, "Visible", Variant::MakeLogical(true));
  EXPECT_TRUE(Get(app, "Visible").logical);
  ObjectRef book = Obj(books, "Open", {Text("fixtures/basic.xlsx"), Variant(), Variant(), Variant(), Variant(),
                                       Variant(), Variant(), Variant(), Variant(), Variant(), Variant(),
                                       Variant(), Variant()});
  EXPECT_EQ(2, Get(books, "Count").integer);
  EXPECT_EQ(4, Get(Obj(app, "Sheets"), "Count").integer);  // the opened one is active
  EXPECT_TRUE(CallOk(books, "Close", {}, &why));
  EXPECT_EQ(0, Get(books, "Count").integer);
  Variant v;
  EXPECT_FALSE(book->Get("Sheets", {}, &v, &why));  // closed
  EXPECT_TRUE(CallOk(app, "Quit", {}, &why));
  EXPECT_FALSE(app->Get("Workbooks", {}, &v, &why));
}

TEST_F(Engine, OverwritingASharedFormulaAnchorKeepsTheOtherFormulas) {
  std::string path = Copy("shared.xlsx", "book.xlsx");
  ObjectRef book = Open(path);
  Rewrite(Sheet(book, 1), "D1", "gone");
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  std::string after = ReadFile(path);
  xlsx::ZipReader z;
  ASSERT_TRUE(z.Open(&after, &why));
  std::string sheet;
  ASSERT_TRUE(z.Extract(z.Find("xl/worksheets/sheet1.xml"), &sheet, &why));
  EXPECT_NE(std::string::npos, sheet.find("<f>A2+B2*$A$1</f>"));
  EXPECT_NE(std::string::npos, sheet.find("<f>A4+B4*$A$1</f>"));
  EXPECT_EQ(std::string::npos, sheet.find("t=\"shared\""));
  // The calculation chain named the removed formula: it is gone with its references.
  EXPECT_LT(z.Find("xl/calcChain.xml"), 0);
  std::string rels, types;
  ASSERT_TRUE(z.Extract(z.Find("xl/_rels/workbook.xml.rels"), &rels, &why));
  ASSERT_TRUE(z.Extract(z.Find("[Content_Types].xml"), &types, &why));
  EXPECT_EQ(std::string::npos, rels.find("calcChain"));
  EXPECT_EQ(std::string::npos, types.find("calcChain"));
}

TEST_F(Engine, WritesTheApplicationRefusesFailWithAReason) {
  ObjectRef book = Open("fixtures/xw.xlsx");
  struct {
    int sheet;
    const char* cell;
    const char* text;
    const char* reason;
  } cases[] = {{1, "E2", "x", "array"},
               {1, "E1:E3", "x", "array"},
               {1, "D1:E1", "x", "array"},
               {2, "C2", "item", "already named"},  // column names differ regardless of case
               {2, "C2", "", "non-empty"},
               {2, "B2:C2", "x", "differ"}};
  for (const auto& c : cases) {
    ObjectRef r = Obj(Sheet(book, c.sheet), "Range", {Text(c.cell)});
    std::string why;
    EXPECT_FALSE(r->Put("Value", {}, Text(c.text), &why)) << c.cell;
    EXPECT_NE(std::string::npos, why.find(c.reason)) << why;
  }
  // A formula naming the table's columns would lose its column: no renaming then.
  ObjectRef refs = Obj(Sheet(Open("fixtures/table_refs.xlsx"), 1), "Range", {Text("B1")});
  std::string why;
  EXPECT_FALSE(refs->Put("Value", {}, Text("Count"), &why));
  EXPECT_NE(std::string::npos, why.find("refer to its columns")) << why;
  EXPECT_EQ("0", CellText(Sheet(book, 1), "E2"));
  EXPECT_EQ("3", CellText(Sheet(book, 1), "D1"));  // nothing of a refused write is kept
  EXPECT_TRUE(Get(book, "Saved").logical);
  // The table's data rows are ordinary cells.
  Rewrite(Sheet(book, 2), "B3", "data");
  EXPECT_EQ("data", CellText(Sheet(book, 2), "B3"));
}

TEST_F(Engine, TextsSurviveTheRoundTrip) {
  std::string path = Copy("basic.xlsx", "book.xlsx");
  const std::string texts[] = {"  lead and trail  ", "a\nb", "tab\there", "_x0041_ literal",
                               std::string("ctl\x01\x1f", 5), FromUtf8("中文 ½ €"), "<tag a=\"1\"/> & more"};
  ObjectRef book = Open(path);
  ObjectRef s = Sheet(book, 3);
  int row = 1;
  for (const std::string& t : texts) Rewrite(s, "B" + std::to_string(row++), t);
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  CallOk(Obj(app, "Workbooks"), "Close", {}, &why);
  ObjectRef again = Sheet(Open(path), 3);
  row = 1;
  for (const std::string& t : texts) EXPECT_EQ(t, CellText(again, "B" + std::to_string(row++)));
  // New cells grew the used range of the empty sheet.
  ObjectRef used = Obj(again, "UsedRange");
  EXPECT_EQ(1, Get(used, "Row").integer);
  EXPECT_EQ(2, Get(used, "Column").integer);
  EXPECT_EQ(7, Get(Obj(used, "Rows"), "Count").integer);
}

// ---------------------------------------------------------------- bad input

std::string Fixture(const std::string& name) { return ReadFile("fixtures/" + name); }

std::string PatchSheetXml(const std::string& xml) {
  // A package whose first sheet holds the given XML, everything else as in basic.xlsx.
  std::string orig = Fixture("basic.xlsx");
  xlsx::ZipReader r;
  std::string why;
  EXPECT_TRUE(r.Open(&orig, &why));
  xlsx::ZipWriter w(6);
  for (size_t i = 0; i < r.entries().size(); ++i) {
    const xlsx::ZipEntry& e = r.entries()[i];
    if (e.name == "xl/worksheets/sheet1.xml") w.AddDeflated(e.name, xml, 0, 0x21, &why);
    else w.AddRaw(e, r.Raw(static_cast<int>(i)));
  }
  std::string out;
  EXPECT_TRUE(w.Finish(&out, &why));
  return out;
}

TEST_F(Engine, ALargeRewrittenSheetSavesWhole) {
  // More than the compressor's output chunk: texts that hardly compress.
  std::string path = Copy("basic.xlsx", "large.xlsx");
  ObjectRef book = Open(path);
  ObjectRef s = Sheet(book, 3);
  unsigned seed = 12345;
  auto text = [&seed](int n) {
    std::string t;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      t.push_back(static_cast<char>('!' + (seed >> 16) % 90));
    }
    return t;
  };
  std::vector<std::string> written;
  for (int r = 1; r <= 400; ++r) {
    written.push_back(text(500));
    Put(Obj(s, "Range", {Text("A" + std::to_string(r))}), "Value", Text(written.back()));
  }
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  CallOk(Obj(app, "Workbooks"), "Close", {}, &why);
  ObjectRef again = Sheet(Open(path), 3);
  Variant all = Get(Obj(again, "UsedRange"), "Value");
  ASSERT_EQ(400, all.rows);
  for (int r = 1; r <= 400; ++r) EXPECT_EQ(written[static_cast<size_t>(r - 1)], all.At(r, 1).text) << r;
}

TEST_F(Engine, RewrittenCellsStayWellFormed) {
  // Single-quoted attributes holding a double quote, a namespace prefix, and a
  // row without its cells' positions: what the engine re-serialises must read back.
  fs::create_directories("work/wellformed");
  std::string path = "work/wellformed/book.xlsx";
  WriteFile(path, PatchSheetXml(
      "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
      "<x:row r='1' spans='1:2'><x:c r='A1' t='inlineStr' odd='say \"hi\"'><x:is><x:t>abc</x:t></x:is></x:c>"
      "<x:c r='C1'><x:v>2</x:v></x:c></x:row><x:row><x:c><x:v>5</x:v></x:c></x:row>"
      "</x:sheetData></x:worksheet>"));
  ObjectRef book = Open(path);
  ObjectRef s = Sheet(book, 1);
  EXPECT_EQ("5", CellText(s, "A2"));
  Rewrite(s, "A1", "new");
  Rewrite(s, "B1", "inserted");  // a cell between two others
  Rewrite(s, "A4", "new row");
  std::string why;
  ASSERT_TRUE(CallOk(book, "Save", {}, &why)) << why;
  CallOk(Obj(app, "Workbooks"), "Close", {}, &why);
  ObjectRef again = Sheet(Open(path), 1);
  EXPECT_EQ("new", CellText(again, "A1"));
  EXPECT_EQ("inserted", CellText(again, "B1"));
  EXPECT_EQ("2", CellText(again, "C1"));
  EXPECT_EQ("5", CellText(again, "A2"));
  EXPECT_EQ("new row", CellText(again, "A4"));
  EXPECT_EQ(4, Get(Obj(Obj(again, "UsedRange"), "Rows"), "Count").integer);
}

TEST_F(Engine, BadInputFailsToOpenWithAReasonAndIsLeftAlone) {
  std::string good = Fixture("basic.xlsx");
  std::string corrupt = good;
  for (size_t i = 200; i < 400 && i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5a);
  std::string huge = good;
  {
    // Declare an absurd uncompressed size for the first entry in the central directory.
    const std::string sig("PK\x01\x02", 4), name = "xl/worksheets/sheet1.xml";
    size_t cd = huge.find(sig);
    while (cd != std::string::npos && huge.compare(cd + 46, name.size(), name) != 0) cd = huge.find(sig, cd + 4);
    ASSERT_NE(std::string::npos, cd);
    huge[cd + 24] = '\xff';
    huge[cd + 25] = '\xff';
    huge[cd + 26] = '\xff';
    huge[cd + 27] = '\x7f';
  }
  // A size under the engine's cap that the compressed data still cannot hold.
  std::string inflated = huge;
  {
    const std::string sig("PK\x01\x02", 4), name = "xl/worksheets/sheet1.xml";
    size_t cd = inflated.find(sig);
    while (cd != std::string::npos && inflated.compare(cd + 46, name.size(), name) != 0) cd = inflated.find(sig, cd + 4);
    inflated[cd + 24] = '\0';
    inflated[cd + 25] = '\0';
    inflated[cd + 26] = '\0';
    inflated[cd + 27] = '\x10';  // 256 MiB
  }
  struct {
    const char* name;
    std::string bytes;
    const char* reason;  // a word the reason must hold
  } cases[] = {
      {"empty.xlsx", "", "zip"},
      {"text.csv", "a,b,c\n1,2,3\n", "zip"},
      {"encrypted.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(2000, '\0'), "OLE"},
      {"truncated.xlsx", good.substr(0, good.size() / 2), "damaged"},
      {"corrupt.xlsx", corrupt, "damaged"},
      {"huge.xlsx", huge, "size"},
      {"inflated.xlsx", inflated, "size"},
      {"unclosed.xlsx", PatchSheetXml("<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"),
       "damaged"},
      {"badtag.xlsx", PatchSheetXml("<worksheet><sheetData></row></sheetData></worksheet>"), "damaged"},
      {"doctype.xlsx",
       PatchSheetXml("<!DOCTYPE x [<!ENTITY a \"aaaa\">]><worksheet><sheetData/></worksheet>"), "document type"},
      {"badref.xlsx", PatchSheetXml("<worksheet><sheetData><row r=\"1\"><c r=\"A0\"/></row></sheetData></worksheet>"),
       "damaged"},
  };
  fs::create_directories("work/bad");
  for (const auto& c : cases) {
    std::string path = "work/bad/" + std::string(c.name);
    WriteFile(path, c.bytes);
    Variant v;
    std::string why;
    EXPECT_FALSE(Obj(app, "Workbooks")->Call("Open", {Text(path)}, &v, &why)) << c.name;
    EXPECT_NE(std::string::npos, why.find(c.reason)) << c.name << ": " << why;
    EXPECT_EQ(c.bytes, ReadFile(path)) << c.name;
  }
  Variant v;
  std::string why;
  EXPECT_FALSE(Obj(app, "Workbooks")->Call("Open", {Text("work/bad/missing.xlsx")}, &v, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(0, Get(Obj(app, "Workbooks"), "Count").integer);
}

}  // namespace
