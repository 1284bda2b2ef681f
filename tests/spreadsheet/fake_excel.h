#pragma once
// A stand-in spreadsheet application for tests: the object model the
// component uses (Application, Workbooks, Workbook, Sheets, Worksheet, Range),
// in memory, recording every late-bound call so that tests can check what was
// asked and count the round trips a real server would make.

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/excel_component.h"
#include "spreadsheet/late_bound.h"
#include "spreadsheet/variant.h"

namespace fake {

struct CellFormat {
  int alignment = 0;
  int shrink = 0;
};

struct SheetData {
  std::string name;
  bool chart = false;
  std::map<std::pair<int, int>, Variant> cells;  // (row, column)
  std::map<std::pair<int, int>, CellFormat> formats;

  void Set(int row, int column, Variant v) { cells[{row, column}] = std::move(v); }
  void SetText(int row, int column, const std::string& t) { Set(row, column, Variant::MakeText(t)); }
  std::string Text(int row, int column) const {
    auto it = cells.find({row, column});
    if (it == cells.end()) return std::string();
    return it->second.kind == VariantKind::Text ? it->second.text : std::string("<non-text>");
  }
  // Bounding box of the cells with a value or a format; A1 alone when none.
  void UsedBox(int* r1, int* c1, int* r2, int* c2) const {
    bool any = false;
    auto take = [&](const std::pair<int, int>& at) {
      if (!any) { *r1 = *r2 = at.first; *c1 = *c2 = at.second; any = true; return; }
      *r1 = std::min(*r1, at.first); *r2 = std::max(*r2, at.first);
      *c1 = std::min(*c1, at.second); *c2 = std::max(*c2, at.second);
    };
    for (const auto& c : cells) if (!c.second.IsEmpty()) take(c.first);
    for (const auto& f : formats) take(f.first);
    if (!any) *r1 = *c1 = *r2 = *c2 = 1;
  }
};

struct FileData {
  std::vector<SheetData> sheets;
  bool open_fails = false;
  std::string open_reason = "file is damaged";
  bool save_fails = false;
  bool value_put_fails = false;
  int saves = 0;
  int opens = 0;
};

struct World {
  std::vector<std::string> log;           // "Kind.Member" of every call, in order
  std::vector<std::string> puts;          // "Kind.Member=value" of every property write
  std::map<std::string, FileData> files;  // by path
  int apps_created = 0;
  int apps_quit = 0;
  bool count_fails = false;  // "Count" of rows/columns fails
  std::vector<std::string> sendkeys;

  size_t Calls() const { return log.size(); }
  size_t CallsOf(const std::string& entry) const {
    return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
  }
};

// One open workbook: a working copy of the file's sheets; Save writes it back.
struct Book {
  std::string path;  // empty for the blank workbook
  std::vector<SheetData> sheets;
  bool alive = true;
};

inline std::string ArgText(const Variant& v) {
  if (v.kind == VariantKind::Text) return v.text;
  if (v.kind == VariantKind::Integer) return std::to_string(v.integer);
  if (v.kind == VariantKind::Logical) return v.logical ? "true" : "false";
  return "?";
}

inline bool ParseA1(const std::string& s, int* row, int* column) {
  size_t i = 0;
  int c = 0, r = 0;
  while (i < s.size() && s[i] >= 'A' && s[i] <= 'Z') c = c * 26 + (s[i++] - 'A' + 1);
  if (c == 0 || i == s.size()) return false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') r = r * 10 + (s[i++] - '0');
  if (i != s.size() || r == 0) return false;
  *row = r;
  *column = c;
  return true;
}

class Object : public LateBound {
 public:
  Object(World* world, std::string kind) : world_(world), kind_(std::move(kind)) {}
  bool Get(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    world_->log.push_back(kind_ + "." + name);
    if (!Alive()) return Fail(why, "object is gone");
    return DoGet(name, args, result, why);
  }
  bool Put(const std::string& name, const std::vector<Variant>& args, const Variant& value,
           std::string* why) override {
    world_->log.push_back(kind_ + "." + name);
    world_->puts.push_back(kind_ + "." + name + "=" + ArgText(value));
    if (!Alive()) return Fail(why, "object is gone");
    return DoPut(name, args, value, why);
  }
  bool Call(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    world_->log.push_back(kind_ + "." + name);
    if (!Alive()) return Fail(why, "object is gone");
    Variant ignored;
    return DoCall(name, args, result != nullptr ? result : &ignored, why);
  }

 protected:
  static bool Fail(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
  }
  static bool Unknown(std::string* why, const std::string& name) { return Fail(why, "no member " + name); }
  virtual bool Alive() const { return true; }
  virtual bool DoGet(const std::string& name, const std::vector<Variant>&, Variant*, std::string* why) {
    return Unknown(why, name);
  }
  virtual bool DoPut(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) {
    return Unknown(why, name);
  }
  virtual bool DoCall(const std::string& name, const std::vector<Variant>&, Variant*, std::string* why) {
    return Unknown(why, name);
  }
  World* world_;
  std::string kind_;
};

class BookObject : public Object {
 public:
  BookObject(World* w, std::string kind, std::shared_ptr<Book> book) : Object(w, std::move(kind)), book_(std::move(book)) {}

 protected:
  bool Alive() const override { return book_->alive; }
  std::shared_ptr<Book> book_;
};

class Count : public Object {
 public:
  Count(World* w, int n) : Object(w, "Lines"), n_(n) {}

 protected:
  bool DoGet(const std::string& name, const std::vector<Variant>&, Variant* r, std::string* why) override {
    if (name != "Count") return Unknown(why, name);
    if (world_->count_fails) return Fail(why, "count refused");
    *r = Variant::MakeInteger(n_);
    return true;
  }
  int n_;
};

class Range : public BookObject {
 public:
  Range(World* w, std::shared_ptr<Book> b, int sheet, int r1, int c1, int r2, int c2)
      : BookObject(w, "Range", std::move(b)), sheet_(sheet), r1_(r1), c1_(c1), r2_(r2), c2_(c2) {}

 protected:
  SheetData& Sheet() { return book_->sheets[static_cast<size_t>(sheet_)]; }
  bool DoGet(const std::string& name, const std::vector<Variant>&, Variant* r, std::string* why) override {
    if (name == "Row") { *r = Variant::MakeInteger(r1_); return true; }
    if (name == "Column") { *r = Variant::MakeInteger(c1_); return true; }
    if (name == "Rows") { *r = Variant::MakeObject(std::make_shared<Count>(world_, r2_ - r1_ + 1)); return true; }
    if (name == "Columns") { *r = Variant::MakeObject(std::make_shared<Count>(world_, c2_ - c1_ + 1)); return true; }
    if (name == "Value") {
      if (r1_ == r2_ && c1_ == c2_) {
        auto it = Sheet().cells.find({r1_, c1_});
        *r = it == Sheet().cells.end() ? Variant() : it->second;
        return true;
      }
      Variant a = Variant::MakeArray(r2_ - r1_ + 1, c2_ - c1_ + 1);
      for (const auto& c : Sheet().cells) {
        int r = c.first.first, col = c.first.second;
        if (r >= r1_ && r <= r2_ && col >= c1_ && col <= c2_) a.At(r - r1_ + 1, col - c1_ + 1) = c.second;
      }
      *r = a;
      return true;
    }
    return Unknown(why, name);
  }
  bool DoPut(const std::string& name, const std::vector<Variant>&, const Variant& v, std::string* why) override {
    for (int r = r1_; r <= r2_; ++r)
      for (int c = c1_; c <= c2_; ++c) {
        if (name == "Value") {
          if (world_->files[book_->path].value_put_fails) return Fail(why, "cell is locked");
          if (v.kind == VariantKind::Text && v.text.empty()) Sheet().cells.erase({r, c});
          else Sheet().cells[{r, c}] = v;
        } else if (name == "HorizontalAlignment") {
          Sheet().formats[{r, c}].alignment = static_cast<int>(v.integer);
        } else if (name == "ShrinkToFit") {
          Sheet().formats[{r, c}].shrink = static_cast<int>(v.integer);
        } else {
          return Unknown(why, name);
        }
      }
    return true;
  }
  int sheet_, r1_, c1_, r2_, c2_;
};

class Worksheet : public BookObject {
 public:
  Worksheet(World* w, std::shared_ptr<Book> b, int index) : BookObject(w, "Worksheet", std::move(b)), index_(index) {}

 protected:
  SheetData& Sheet() { return book_->sheets[static_cast<size_t>(index_)]; }
  bool DoGet(const std::string& name, const std::vector<Variant>& args, Variant* r, std::string* why) override {
    if (name == "Index") { *r = Variant::MakeInteger(index_ + 1); return true; }
    if (name == "Name") { *r = Variant::MakeText(Sheet().name); return true; }
    if (Sheet().chart) return Unknown(why, name);
    if (name == "UsedRange") {
      int r1, c1, r2, c2;
      Sheet().UsedBox(&r1, &c1, &r2, &c2);
      *r = Variant::MakeObject(std::make_shared<Range>(world_, book_, index_, r1, c1, r2, c2));
      return true;
    }
    if (name == "Range" && !args.empty()) {
      int r1, c1, r2, c2;
      if (!ParseA1(ArgText(args[0]), &r1, &c1)) return Fail(why, "bad range");
      r2 = r1;
      c2 = c1;
      if (args.size() > 1 && !ParseA1(ArgText(args[1]), &r2, &c2)) return Fail(why, "bad range");
      *r = Variant::MakeObject(std::make_shared<Range>(world_, book_, index_, std::min(r1, r2), std::min(c1, c2),
                                                       std::max(r1, r2), std::max(c1, c2)));
      return true;
    }
    return Unknown(why, name);
  }
  int index_;
};

class Sheets : public BookObject {
 public:
  Sheets(World* w, std::shared_ptr<Book> b) : BookObject(w, "Sheets", std::move(b)) {}

 protected:
  bool DoGet(const std::string& name, const std::vector<Variant>& args, Variant* r, std::string* why) override {
    if (name == "Count") { *r = Variant::MakeInteger(static_cast<int64_t>(book_->sheets.size())); return true; }
    if (name == "Item" && args.size() == 1 && args[0].kind == VariantKind::Integer) {
      int64_t n = args[0].integer;
      if (n < 1 || n > static_cast<int64_t>(book_->sheets.size())) return Fail(why, "no such sheet");
      *r = Variant::MakeObject(std::make_shared<Worksheet>(world_, book_, static_cast<int>(n - 1)));
      return true;
    }
    return Unknown(why, name);
  }
};

class Workbook : public BookObject {
 public:
  Workbook(World* w, std::shared_ptr<Book> b) : BookObject(w, "Workbook", std::move(b)) {}

 protected:
  bool DoGet(const std::string& name, const std::vector<Variant>&, Variant* r, std::string* why) override {
    if (name == "Sheets") { *r = Variant::MakeObject(std::make_shared<Sheets>(world_, book_)); return true; }
    return Unknown(why, name);
  }
  bool DoCall(const std::string& name, const std::vector<Variant>&, Variant*, std::string* why) override {
    if (name == "Save") {
      FileData& f = world_->files[book_->path];
      if (f.save_fails) return Fail(why, "disk is full");
      f.sheets = book_->sheets;
      ++f.saves;
      return true;
    }
    if (name == "Close") { book_->alive = false; return true; }
    return Unknown(why, name);
  }
};

class App;

class Workbooks : public Object {
 public:
  Workbooks(World* w, std::vector<std::shared_ptr<Book>>* open) : Object(w, "Workbooks"), open_(open) {}

 protected:
  bool DoCall(const std::string& name, const std::vector<Variant>& args, Variant* r, std::string* why) override {
    if (name == "Add") {
      auto book = std::make_shared<Book>();
      book->sheets.resize(1);
      book->sheets[0].name = "Sheet1";
      open_->push_back(book);
      *r = Variant::MakeObject(std::make_shared<Workbook>(world_, book));
      return true;
    }
    if (name == "Open" && !args.empty()) {
      auto it = world_->files.find(ArgText(args[0]));
      if (it == world_->files.end()) return Fail(why, "file not found");
      if (it->second.open_fails) return Fail(why, it->second.open_reason);
      ++it->second.opens;
      auto book = std::make_shared<Book>();
      book->path = it->first;
      book->sheets = it->second.sheets;
      open_->push_back(book);
      *r = Variant::MakeObject(std::make_shared<Workbook>(world_, book));
      return true;
    }
    if (name == "Close") {
      for (auto& b : *open_) b->alive = false;
      open_->clear();
      return true;
    }
    return Unknown(why, name);
  }
  std::vector<std::shared_ptr<Book>>* open_;
};

class Window : public Object {
 public:
  explicit Window(World* w) : Object(w, "Window") {}

 protected:
  bool DoCall(const std::string& name, const std::vector<Variant>&, Variant*, std::string* why) override {
    return name == "Activate" ? true : Unknown(why, name);
  }
};

class App : public Object {
 public:
  explicit App(World* w) : Object(w, "Application") { ++w->apps_created; }

 protected:
  bool DoGet(const std::string& name, const std::vector<Variant>&, Variant* r, std::string* why) override {
    if (name == "Workbooks") { *r = Variant::MakeObject(std::make_shared<Workbooks>(world_, &open_)); return true; }
    if (name == "Sheets") {
      if (open_.empty()) return Fail(why, "no active workbook");
      *r = Variant::MakeObject(std::make_shared<Sheets>(world_, open_.back()));
      return true;
    }
    if (name == "ActiveWindow") {
      if (open_.empty()) return Fail(why, "no window");
      *r = Variant::MakeObject(std::make_shared<Window>(world_));
      return true;
    }
    return Unknown(why, name);
  }
  bool DoPut(const std::string& name, const std::vector<Variant>&, const Variant&, std::string* why) override {
    return name == "Visible" ? true : Unknown(why, name);
  }
  bool DoCall(const std::string& name, const std::vector<Variant>& args, Variant*, std::string* why) override {
    if (name == "Quit") { ++world_->apps_quit; return true; }
    if (name == "SendKeys") { world_->sendkeys.push_back(args.empty() ? "" : ArgText(args[0])); return true; }
    return Unknown(why, name);
  }
  std::vector<std::shared_ptr<Book>> open_;
};

inline ObjectRef NewApp(World* w) { return std::make_shared<App>(w); }

// Has the component create fake applications over w; none, with the reason
// given, while *unavailable is true.
inline void UseFakeApplications(World* w, const bool* unavailable, std::string reason) {
  SetApplicationFactory([w, unavailable, reason](std::string* why) {
    if (*unavailable) {
      *why = reason;
      return ObjectRef();
    }
    return NewApp(w);
  });
}

}  // namespace fake
