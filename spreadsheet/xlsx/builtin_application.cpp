#include "spreadsheet/xlsx/builtin_application.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/xlsx/allocator.h"
#include "spreadsheet/xlsx/cell_ref.h"
#include "spreadsheet/xlsx/workbook_doc.h"
#include "text/encoding.h"

using xlsx::CellRect;
using xlsx::CellValue;
using xlsx::SheetDoc;
using xlsx::ValueKind;
using xlsx::WorkbookDoc;

namespace {

// Member names are matched without regard to case, as automation does.
bool Is(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

bool Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

bool NoMember(const char* object, const std::string& name, std::string* why) {
  return Fail(why, std::string("member not found: the ") + object + " object has no member \"" + name + "\"");
}

bool ArgInt(const Variant& v, long long* out) {
  switch (v.kind) {
    case VariantKind::Integer: *out = v.integer; return true;
    case VariantKind::Real:
    case VariantKind::Date:
      if (!std::isfinite(v.real) || std::fabs(v.real) > 9e15) return false;
      *out = static_cast<long long>(std::nearbyint(v.real));  // round half to even, as automation coerces
      return true;
    case VariantKind::Logical: *out = v.logical ? -1 : 0; return true;
    case VariantKind::Text: {
      char* end = nullptr;
      double d = std::strtod(v.text.c_str(), &end);
      if (v.text.empty() || *end != '\0' || !std::isfinite(d)) return false;
      *out = static_cast<long long>(std::nearbyint(d));
      return true;
    }
    default: return false;
  }
}

bool ArgBool(const Variant& v, bool* out) {
  switch (v.kind) {
    case VariantKind::Logical: *out = v.logical; return true;
    case VariantKind::Integer: *out = v.integer != 0; return true;
    case VariantKind::Real: *out = v.real != 0; return true;
    case VariantKind::Text:
      if (Is(v.text, "true")) *out = true;
      else if (Is(v.text, "false")) *out = false;
      else {
        long long n;
        if (!ArgInt(v, &n)) return false;
        *out = n != 0;
      }
      return true;
    default: return false;
  }
}

Variant ToVariant(CellValue&& v) {
  switch (v.kind) {
    case ValueKind::Number: return Variant::MakeReal(v.number);
    case ValueKind::Date: return Variant::MakeDate(v.number);
    case ValueKind::Text: return Variant::MakeText(FromUtf8(v.text));
    case ValueKind::Logical: return Variant::MakeLogical(v.number != 0);
    case ValueKind::Error: return Variant::MakeError(static_cast<int64_t>(v.number));
    case ValueKind::Blank: break;
  }
  return Variant();
}

std::string Trouble(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "not enough memory";
  return e.what();
}

struct AppState {
  std::vector<std::shared_ptr<WorkbookDoc>> books;  // open workbooks; the last is active
  bool visible = false;
  bool quit = false;
  bool display_alerts = true;
  bool screen_updating = true;
  int blank_count = 0;
};
using State = std::shared_ptr<AppState>;

class Object : public LateBound {
 public:
  explicit Object(State s) : state_(std::move(s)) {}
  // A workbook too big for memory fails the call that met it, like any other
  // failure, instead of ending the tool.
  bool Get(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    return Call(name, args, result, why);
  }
  bool Call(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    Variant ignored;
    try {
      if (!Alive(why)) return false;
      return Read(name, args, result ? result : &ignored, why);
    } catch (const std::exception& e) {
      return Fail(why, name + ": " + Trouble(e));
    }
  }
  bool Put(const std::string& name, const std::vector<Variant>& args, const Variant& value,
           std::string* why) override {
    try {
      if (!Alive(why)) return false;
      return Write(name, args, value, why);
    } catch (const std::exception& e) {
      return Fail(why, name + ": " + Trouble(e));
    }
  }

 protected:
  // Property reads and method calls share one table: automation clients may
  // reach a property with either flag.
  virtual bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
                    std::string* why) = 0;
  virtual bool Write(const std::string& name, const std::vector<Variant>& args, const Variant& value,
                     std::string* why) = 0;
  virtual bool Alive(std::string* why) const {
    if (state_->quit) return Fail(why, "the application has quit");
    return true;
  }
  State state_;
};

// Objects that belong to one workbook stop working once it is closed.
class BookObject : public Object {
 public:
  BookObject(State s, std::shared_ptr<WorkbookDoc> b) : Object(std::move(s)), book_(std::move(b)) {}

 protected:
  bool Alive(std::string* why) const override {
    if (!Object::Alive(why)) return false;
    if (book_->closed()) return Fail(why, "the workbook " + book_->name() + " has been closed");
    return true;
  }
  std::shared_ptr<WorkbookDoc> book_;
};

ObjectRef MakeSheet(const State& s, const std::shared_ptr<WorkbookDoc>& b, size_t index);

class RangeObject : public BookObject {
 public:
  enum class Mode { Cells, Rows, Columns };
  RangeObject(State s, std::shared_ptr<WorkbookDoc> b, std::shared_ptr<SheetDoc> sheet, CellRect r, Mode m)
      : BookObject(std::move(s), std::move(b)), sheet_(std::move(sheet)), rect_(r), mode_(m) {}

 protected:
  bool Alive(std::string* why) const override { return BookObject::Alive(why) && book_->Refresh(why); }
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    if (Is(name, "Value") || Is(name, "Value2")) return ReadValue(result, why);
    if (Is(name, "Count")) {
      long long n = mode_ == Mode::Rows ? rect_.Rows() : mode_ == Mode::Columns ? rect_.Cols() : rect_.Rows() * rect_.Cols();
      *result = Variant::MakeInteger(n);
      return true;
    }
    if (Is(name, "Row")) {
      *result = Variant::MakeInteger(rect_.row1);
      return true;
    }
    if (Is(name, "Column")) {
      *result = Variant::MakeInteger(rect_.col1);
      return true;
    }
    if (Is(name, "Rows") || Is(name, "Columns")) {
      *result = Variant::MakeObject(std::make_shared<RangeObject>(state_, book_, sheet_, rect_,
                                                                  Is(name, "Rows") ? Mode::Rows : Mode::Columns));
      return true;
    }
    if (Is(name, "Address")) {
      std::string a = "$" + xlsx::ColumnName(rect_.col1) + "$" + std::to_string(rect_.row1);
      if (rect_.Rows() > 1 || rect_.Cols() > 1)
        a += ":$" + xlsx::ColumnName(rect_.col2) + "$" + std::to_string(rect_.row2);
      *result = Variant::MakeText(a);
      return true;
    }
    (void)args;
    return NoMember("Range", name, why);
  }

  bool ReadValue(Variant* result, std::string* why) {
    if (rect_.Rows() == 1 && rect_.Cols() == 1) {
      *result = ToVariant(sheet_->Value(rect_.row1, rect_.col1));
      return true;
    }
    if (rect_.Rows() * rect_.Cols() > 8 * 1024 * 1024) return Fail(why, "the range is too large to read at once");
    Variant arr = Variant::MakeArray(static_cast<int>(rect_.Rows()), static_cast<int>(rect_.Cols()));
    const CellRect r = rect_;
    sheet_->ForEachCell(r, [&](int row, int col, CellValue v) {
      arr.At(row - r.row1 + 1, col - r.col1 + 1) = ToVariant(std::move(v));
    });
    *result = std::move(arr);
    return true;
  }

  bool Write(const std::string& name, const std::vector<Variant>& args, const Variant& value,
             std::string* why) override {
    (void)args;
    if (Is(name, "Value") || Is(name, "Value2")) {
      CellValue v;
      switch (value.kind) {
        case VariantKind::Text:
          v.text = ToUtf8(value.text);
          v.kind = v.text.empty() ? ValueKind::Blank : ValueKind::Text;
          break;
        case VariantKind::Empty: break;
        case VariantKind::Integer:
          v.kind = ValueKind::Number;
          v.number = static_cast<double>(value.integer);
          break;
        case VariantKind::Real:
          v.kind = ValueKind::Number;
          v.number = value.real;
          break;
        case VariantKind::Date:
          v.kind = ValueKind::Date;
          v.number = value.real;
          break;
        case VariantKind::Logical:
          v.kind = ValueKind::Logical;
          v.number = value.logical ? 1 : 0;
          break;
        case VariantKind::Error:
          v.kind = ValueKind::Error;
          v.number = static_cast<double>(value.integer);
          break;
        default: return Fail(why, "Value: this kind of value cannot be written to a range");
      }
      return sheet_->SetValue(rect_, v, why);
    }
    if (Is(name, "HorizontalAlignment")) {
      long long code;
      if (!ArgInt(value, &code)) return Fail(why, "HorizontalAlignment: not a number");
      switch (code) {
        case -4108: case -4131: case -4152: case -4130: case -4117: case 1: case 5: case 7: break;
        default: return Fail(why, "HorizontalAlignment: unknown alignment " + std::to_string(code));
      }
      return sheet_->SetHorizontal(rect_, static_cast<int>(code), why);
    }
    if (Is(name, "ShrinkToFit")) {
      bool on;
      if (!ArgBool(value, &on)) return Fail(why, "ShrinkToFit: not a logical value");
      return sheet_->SetShrink(rect_, on, why);
    }
    return NoMember("Range", name, why);
  }

 private:
  std::shared_ptr<SheetDoc> sheet_;
  CellRect rect_;
  Mode mode_;
};

// Worksheets, chart sheets and the other kinds of sheet.
class SheetObject : public BookObject {
 public:
  SheetObject(State s, std::shared_ptr<WorkbookDoc> b, std::shared_ptr<SheetDoc> sheet)
      : BookObject(std::move(s), std::move(b)), sheet_(std::move(sheet)) {}

 protected:
  bool Alive(std::string* why) const override { return BookObject::Alive(why) && book_->Refresh(why); }
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    if (Is(name, "Name")) {
      *result = Variant::MakeText(FromUtf8(sheet_->name()));
      return true;
    }
    if (Is(name, "Index")) {
      const auto& all = book_->sheets();
      for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == sheet_) *result = Variant::MakeInteger(static_cast<int64_t>(i + 1));
      return true;
    }
    const char* kind = sheet_->kind() == SheetDoc::Kind::Chart ? "Chart" : "Sheet";
    if (sheet_->kind() != SheetDoc::Kind::Worksheet) return NoMember(kind, name, why);
    if (Is(name, "UsedRange")) {
      *result = Variant::MakeObject(
          std::make_shared<RangeObject>(state_, book_, sheet_, sheet_->UsedRange(), RangeObject::Mode::Cells));
      return true;
    }
    if (Is(name, "Range")) {
      if (args.empty() || args.size() > 2) return Fail(why, "Range: one or two cell names expected");
      CellRect r;
      for (size_t i = 0; i < args.size(); ++i) {
        CellRect one;
        if (!Corner(args[i], &one, why)) return false;
        if (i == 0) {
          r = one;
        } else {
          r.row1 = std::min(r.row1, one.row1);
          r.col1 = std::min(r.col1, one.col1);
          r.row2 = std::max(r.row2, one.row2);
          r.col2 = std::max(r.col2, one.col2);
        }
      }
      *result = Variant::MakeObject(std::make_shared<RangeObject>(state_, book_, sheet_, r, RangeObject::Mode::Cells));
      return true;
    }
    if (Is(name, "Cells") && args.size() == 2) {
      long long row, col;
      if (!ArgInt(args[0], &row) || !ArgInt(args[1], &col) || row < 1 || row > xlsx::kMaxRow || col < 1 ||
          col > xlsx::kMaxCol)
        return Fail(why, "Cells: row and column out of range");
      CellRect r;
      r.row1 = r.row2 = static_cast<int>(row);
      r.col1 = r.col2 = static_cast<int>(col);
      *result = Variant::MakeObject(std::make_shared<RangeObject>(state_, book_, sheet_, r, RangeObject::Mode::Cells));
      return true;
    }
    return NoMember("Worksheet", name, why);
  }

  bool Corner(const Variant& v, CellRect* r, std::string* why) {
    if (v.kind != VariantKind::Text) return Fail(why, "Range: a cell name such as \"A1\" expected");
    std::string t = v.text;
    if (!xlsx::ParseArea(t, r)) return Fail(why, "Range: \"" + t + "\" is not a cell name");
    return true;
  }

  bool Write(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return NoMember(sheet_->kind() == SheetDoc::Kind::Chart ? "Chart" : "Worksheet", name, why);
  }

 private:
  std::shared_ptr<SheetDoc> sheet_;
};

ObjectRef MakeSheet(const State& s, const std::shared_ptr<WorkbookDoc>& b, size_t index) {
  return std::make_shared<SheetObject>(s, b, b->sheets()[index]);
}

class SheetsObject : public BookObject {
 public:
  using BookObject::BookObject;

 protected:
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    const auto& all = book_->sheets();
    if (Is(name, "Count")) {
      *result = Variant::MakeInteger(static_cast<int64_t>(all.size()));
      return true;
    }
    if (Is(name, "Item")) {
      if (args.size() != 1) return Fail(why, "Item: one index expected");
      if (args[0].kind == VariantKind::Text) {
        std::string wanted = ToUtf8(args[0].text);
        for (size_t i = 0; i < all.size(); ++i)
          if (Is(all[i]->name(), wanted.c_str())) {
            *result = Variant::MakeObject(MakeSheet(state_, book_, i));
            return true;
          }
        return Fail(why, "Item: subscript out of range (no sheet named \"" + args[0].text + "\")");
      }
      long long n;
      if (!ArgInt(args[0], &n)) return Fail(why, "Item: index must be a number or a sheet name");
      if (n < 1 || n > static_cast<long long>(all.size()))
        return Fail(why, "Item: subscript out of range (" + std::to_string(n) + ")");
      *result = Variant::MakeObject(MakeSheet(state_, book_, static_cast<size_t>(n - 1)));
      return true;
    }
    return NoMember("Sheets", name, why);
  }
  bool Write(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return NoMember("Sheets", name, why);
  }
};

void Forget(AppState* s, const std::shared_ptr<WorkbookDoc>& b) {
  for (size_t i = 0; i < s->books.size(); ++i)
    if (s->books[i] == b) {
      s->books.erase(s->books.begin() + static_cast<long>(i));
      return;
    }
}

class WorkbookObject : public BookObject {
 public:
  using BookObject::BookObject;

 protected:
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    if (Is(name, "Sheets") || Is(name, "Worksheets")) {
      *result = Variant::MakeObject(std::make_shared<SheetsObject>(state_, book_));
      return true;
    }
    if (Is(name, "Save")) return book_->Save(why);
    if (Is(name, "Close")) {
      bool save = false;
      if (!args.empty() && args[0].kind != VariantKind::Empty && !ArgBool(args[0], &save))
        return Fail(why, "Close: SaveChanges must be a logical value");
      if (save && !book_->Save(why)) return false;
      book_->Close();
      Forget(state_.get(), book_);
      return true;
    }
    if (Is(name, "Saved")) {
      *result = Variant::MakeLogical(!book_->dirty());
      return true;
    }
    if (Is(name, "Name")) {
      *result = Variant::MakeText(book_->name());
      return true;
    }
    if (Is(name, "FullName")) {
      *result = Variant::MakeText(book_->path().empty() ? book_->name() : book_->path());
      return true;
    }
    if (Is(name, "Activate")) {
      Forget(state_.get(), book_);
      state_->books.push_back(book_);
      return true;
    }
    return NoMember("Workbook", name, why);
  }
  bool Write(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return NoMember("Workbook", name, why);
  }
};

class WorkbooksObject : public Object {
 public:
  using Object::Object;

 protected:
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    if (Is(name, "Count")) {
      *result = Variant::MakeInteger(static_cast<int64_t>(state_->books.size()));
      return true;
    }
    if (Is(name, "Add")) {
      auto book = std::make_shared<WorkbookDoc>();
      book->InitBlank("Book" + std::to_string(++state_->blank_count));
      state_->books.push_back(book);
      *result = Variant::MakeObject(std::make_shared<WorkbookObject>(state_, book));
      return true;
    }
    if (Is(name, "Open")) {
      if (args.empty() || args[0].kind != VariantKind::Text || args[0].text.empty())
        return Fail(why, "Open: a file name expected");
      if (args.size() > 13) return Fail(why, "Open: too many arguments");
      auto book = std::make_shared<WorkbookDoc>();
      if (!book->Open(args[0].text, why)) return false;
      state_->books.push_back(book);
      *result = Variant::MakeObject(std::make_shared<WorkbookObject>(state_, book));
      return true;
    }
    if (Is(name, "Close")) {
      for (auto& b : state_->books) b->Close();
      state_->books.clear();
      return true;
    }
    if (Is(name, "Item")) {
      long long n;
      if (args.size() != 1 || !ArgInt(args[0], &n) || n < 1 || n > static_cast<long long>(state_->books.size()))
        return Fail(why, "Item: subscript out of range");
      *result = Variant::MakeObject(std::make_shared<WorkbookObject>(state_, state_->books[static_cast<size_t>(n - 1)]));
      return true;
    }
    return NoMember("Workbooks", name, why);
  }
  bool Write(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return NoMember("Workbooks", name, why);
  }
};

class WindowObject : public Object {
 public:
  using Object::Object;

 protected:
  bool Read(const std::string& name, const std::vector<Variant>&, Variant*, std::string* why) override {
    if (Is(name, "Activate")) return true;
    return NoMember("Window", name, why);
  }
  bool Write(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return NoMember("Window", name, why);
  }
};

class ApplicationObject : public Object {
 public:
  using Object::Object;

 protected:
  bool Read(const std::string& name, const std::vector<Variant>& args, Variant* result,
            std::string* why) override {
    if (Is(name, "Workbooks")) {
      *result = Variant::MakeObject(std::make_shared<WorkbooksObject>(state_));
      return true;
    }
    if (Is(name, "Sheets") || Is(name, "Worksheets")) {
      if (state_->books.empty()) return Fail(why, "Sheets: no workbook is open");
      *result = Variant::MakeObject(std::make_shared<SheetsObject>(state_, state_->books.back()));
      return true;
    }
    if (Is(name, "ActiveWorkbook")) {
      *result = state_->books.empty()
                    ? Variant::MakeObject(nullptr)
                    : Variant::MakeObject(std::make_shared<WorkbookObject>(state_, state_->books.back()));
      return true;
    }
    if (Is(name, "ActiveWindow")) {
      // Nothing when no workbook is open, as the application gives.
      *result = state_->books.empty() ? Variant::MakeObject(nullptr)
                                      : Variant::MakeObject(std::make_shared<WindowObject>(state_));
      return true;
    }
    if (Is(name, "Visible")) {
      *result = Variant::MakeLogical(state_->visible);
      return true;
    }
    if (Is(name, "DisplayAlerts")) {
      *result = Variant::MakeLogical(state_->display_alerts);
      return true;
    }
    if (Is(name, "ScreenUpdating")) {
      *result = Variant::MakeLogical(state_->screen_updating);
      return true;
    }
    if (Is(name, "SendKeys")) {
      if (args.empty() || args[0].kind != VariantKind::Text) return Fail(why, "SendKeys: keys expected");
      const std::string& keys = args[0].text;
      // Ctrl+S saves the active workbook; other keys have nothing to act on.
      if ((keys.find("^s") != std::string::npos || keys.find("^S") != std::string::npos) && !state_->books.empty())
        return state_->books.back()->Save(why);
      return true;
    }
    if (Is(name, "Quit")) {
      for (auto& b : state_->books) b->Close();
      state_->books.clear();
      state_->quit = true;
      return true;
    }
    return NoMember("Application", name, why);
  }

  bool Write(const std::string& name, const std::vector<Variant>&, const Variant& value, std::string* why) override {
    bool on;
    if (Is(name, "Visible") || Is(name, "DisplayAlerts") || Is(name, "ScreenUpdating")) {
      if (!ArgBool(value, &on)) return Fail(why, name + ": not a logical value");
      (Is(name, "Visible") ? state_->visible : Is(name, "DisplayAlerts") ? state_->display_alerts
                                                                          : state_->screen_updating) = on;
      return true;
    }
    return NoMember("Application", name, why);
  }
};

}  // namespace

ObjectRef CreateBuiltinApplication() {
  static const bool tuned = (xlsx::KeepFreedMemory(), true);
  (void)tuned;
  return std::make_shared<ApplicationObject>(std::make_shared<AppState>());
}
