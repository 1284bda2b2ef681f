// The batch job on the built-in engine alone, through its object model by
// name exactly as the tool drives it: per sheet the used range's position and
// all its values at once, per row the column count again, and for a matching
// cell the three writes; then save if anything changed, close, quit.
//   bench_engine SEARCH REPLACEMENT FILE...
// Prints the number of cells changed.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/value_text.h"
#include "spreadsheet/xlsx/builtin_application.h"
#include "spreadsheet/xlsx/cell_ref.h"

namespace {

Variant Get(const ObjectRef& o, const char* name, std::vector<Variant> args = {}) {
  Variant v;
  std::string why;
  if (!o->Get(name, args, &v, &why)) std::fprintf(stderr, "%s: %s\n", name, why.c_str());
  return v;
}

void Put(const ObjectRef& o, const char* name, const Variant& value) {
  std::string why;
  if (!o->Put(name, {}, value, &why)) std::fprintf(stderr, "%s: %s\n", name, why.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_engine SEARCH REPLACEMENT FILE...\n");
    return 2;
  }
  const std::string search = argv[1];
  const Variant replacement = Variant::MakeText(argv[2]);
  long long changed = 0;
  for (int f = 3; f < argc; ++f) {
    ObjectRef app = CreateBuiltinApplication();
    ObjectRef books = Get(app, "Workbooks").object;
    Variant book = Get(books, "Open", {Variant::MakeText(argv[f])});
    if (!book.object) continue;
    ObjectRef sheets = Get(book.object, "Sheets").object;
    long long count = Get(sheets, "Count").integer;
    bool dirty = false;
    for (long long s = 1; s <= count; ++s) {
      ObjectRef sheet = Get(sheets, "Item", {Variant::MakeInteger(s)}).object;
      Variant used;
      std::string why;
      if (!sheet->Get("UsedRange", {}, &used, &why)) continue;  // a chart sheet
      long long row0 = Get(used.object, "Row").integer, col0 = Get(used.object, "Column").integer;
      Variant all = Get(used.object, "Value");
      long long rows = Get(Get(used.object, "Rows").object, "Count").integer;
      for (long long r = 1; r <= rows; ++r) {
        ObjectRef u = Get(sheet, "UsedRange").object;
        long long cols = Get(Get(u, "Columns").object, "Count").integer;
        for (long long c = 1; c <= cols; ++c) {
          const Variant& v = all.kind == VariantKind::Array ? all.At(static_cast<int>(r), static_cast<int>(c)) : all;
          std::string text = ValueToText(v);
          if (text.empty() || text.find(search) == std::string::npos) continue;
          std::string name = xlsx::CellName(static_cast<int>(row0 + r - 1), static_cast<int>(col0 + c - 1));
          ObjectRef range = Get(sheet, "Range", {Variant::MakeText(name), Variant::MakeText(name)}).object;
          Put(range, "Value", replacement);
          Put(range, "ShrinkToFit", Variant::MakeLogical(true));
          Put(range, "HorizontalAlignment", Variant::MakeInteger(-4108));
          ++changed;
          dirty = true;
        }
      }
    }
    if (dirty) {
      Variant ignored;
      std::string why;
      if (!book.object->Call("Save", {}, &ignored, &why)) std::fprintf(stderr, "Save %s: %s\n", argv[f], why.c_str());
    }
    Get(books, "Close");
    Get(app, "Quit");
  }
  std::printf("%lld\n", changed);
  return 0;
}
