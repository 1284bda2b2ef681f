// A small driver of the engine's object model for the checks run by an
// independent reader: opens a workbook, applies the commands given, saves.
//   xlsx_edit FILE COMMAND...
//   dump                      print every sheet and every cell of its used range
//   batch:SHEET:CELL:TEXT     what the batch does to a matching cell
//   value:SHEET:CELL:TEXT     only Value := TEXT
//   save                      Workbook.Save
// Errors go to stderr with exit code 1.
#include <cstdio>
#include <string>
#include <vector>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/value_text.h"
#include "spreadsheet/xlsx/builtin_application.h"

namespace {

const char* KindName(VariantKind k) {
  switch (k) {
    case VariantKind::Empty: return "empty";
    case VariantKind::Logical: return "logical";
    case VariantKind::Integer: return "integer";
    case VariantKind::Real: return "real";
    case VariantKind::Date: return "date";
    case VariantKind::Text: return "text";
    case VariantKind::Error: return "error";
    default: return "other";
  }
}

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "error: %s\n", why.c_str());
  std::exit(1);
}

ObjectRef GetObj(const ObjectRef& o, const char* name, std::vector<Variant> args = {}) {
  Variant v;
  std::string why;
  if (!o->Get(name, args, &v, &why)) Die(std::string(name) + ": " + why);
  if (v.kind != VariantKind::Object || !v.object) Die(std::string(name) + ": not an object");
  return v.object;
}

Variant GetVal(const ObjectRef& o, const char* name) {
  Variant v;
  std::string why;
  if (!o->Get(name, {}, &v, &why)) Die(std::string(name) + ": " + why);
  return v;
}

void PutVal(const ObjectRef& o, const char* name, const Variant& v) {
  std::string why;
  if (!o->Put(name, {}, v, &why)) Die(std::string(name) + ": " + why);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) Die("usage: xlsx_edit FILE COMMAND...");
  ObjectRef app = CreateBuiltinApplication();
  ObjectRef books = GetObj(app, "Workbooks");
  ObjectRef book = GetObj(books, "Open", {Variant::MakeText(argv[1])});
  ObjectRef sheets = GetObj(book, "Sheets");
  for (int i = 2; i < argc; ++i) {
    std::string cmd = argv[i];
    if (cmd == "dump") {
      long long n = GetVal(sheets, "Count").integer;
      for (long long s = 1; s <= n; ++s) {
        ObjectRef sheet = GetObj(sheets, "Item", {Variant::MakeInteger(s)});
        std::string name = GetVal(sheet, "Name").text;
        Variant used;
        std::string why;
        if (!sheet->Get("UsedRange", {}, &used, &why)) {
          std::printf("sheet\t%lld\t%s\tnone\n", s, name.c_str());
          continue;
        }
        long long r0 = GetVal(used.object, "Row").integer, c0 = GetVal(used.object, "Column").integer;
        long long rows = GetVal(GetObj(used.object, "Rows"), "Count").integer;
        long long cols = GetVal(GetObj(used.object, "Columns"), "Count").integer;
        std::printf("sheet\t%lld\t%s\t%lld\t%lld\t%lld\t%lld\n", s, name.c_str(), r0, c0, rows, cols);
        Variant all = GetVal(used.object, "Value");
        for (long long r = 1; r <= rows; ++r)
          for (long long c = 1; c <= cols; ++c) {
            const Variant& v = all.kind == VariantKind::Array ? all.At(static_cast<int>(r), static_cast<int>(c)) : all;
            if (v.kind == VariantKind::Empty) continue;
            // Backslash, tab and newline escaped so that a line is a cell.
            std::string t;
            for (char ch : ValueToText(v)) {
              if (ch == '\\') t += "\\\\";
              else if (ch == '\n') t += "\\n";
              else if (ch == '\t') t += "\\t";
              else t += ch;
            }
            std::printf("cell\t%lld\t%lld\t%lld\t%s\t%s\n", s, r0 + r - 1, c0 + c - 1, KindName(v.kind), t.c_str());
          }
      }
    } else if (cmd == "save") {
      Variant ignored;
      std::string why;
      if (!book->Call("Save", {}, &ignored, &why)) Die("Save: " + why);
    } else if (cmd.rfind("batch:", 0) == 0 || cmd.rfind("value:", 0) == 0) {
      size_t a = cmd.find(':'), b = cmd.find(':', a + 1), c = cmd.find(':', b + 1);
      if (b == std::string::npos || c == std::string::npos) Die("bad command " + cmd);
      long long s = std::stoll(cmd.substr(a + 1, b - a - 1));
      std::string cell = cmd.substr(b + 1, c - b - 1);
      ObjectRef sheet = GetObj(sheets, "Item", {Variant::MakeInteger(s)});
      ObjectRef range = GetObj(sheet, "Range", {Variant::MakeText(cell), Variant::MakeText(cell)});
      PutVal(range, "Value", Variant::MakeText(cmd.substr(c + 1)));
      if (cmd[0] == 'b') {
        PutVal(range, "ShrinkToFit", Variant::MakeLogical(true));
        PutVal(range, "HorizontalAlignment", Variant::MakeInteger(-4108));
      }
    } else {
      Die("unknown command " + cmd);
    }
  }
  Variant ignored;
  std::string why;
  books->Call("Close", {}, &ignored, &why);
  app->Call("Quit", {}, &ignored, &why);
  return 0;
}
