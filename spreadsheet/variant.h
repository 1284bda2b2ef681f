#pragma once
// The portable value that crosses the late-bound seam, in the spirit of an
// automation VARIANT. Texts are in the tool's text encoding (the ANSI code
// page on Windows, UTF-8 on Linux); each binding converts at its edge.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LateBound;

// Holds one object reference; reset() releases it. Empty means no object.
using ObjectRef = std::shared_ptr<LateBound>;

enum class VariantKind { Empty, Logical, Integer, Real, Date, Text, Object, Error, Array };

struct Variant {
  VariantKind kind = VariantKind::Empty;
  bool logical = false;
  // Integer: the value. Error: the spreadsheet's error number
  // (2000 #NULL!, 2007 #DIV/0!, 2015 #VALUE!, 2023 #REF!, 2029 #NAME?, 2036 #NUM!, 2042 #N/A).
  int64_t integer = 0;
  // Real: the value. Date: the serial day number of the 1900 date system (OLE date).
  double real = 0;
  std::string text;
  ObjectRef object;
  // Array: rows x cols values, row by row; element (r, c), 1-based, is at (r-1)*cols + (c-1).
  std::shared_ptr<std::vector<Variant>> array;
  int rows = 0;
  int cols = 0;

  static Variant MakeEmpty() { return Variant(); }
  static Variant MakeLogical(bool v) { Variant r; r.kind = VariantKind::Logical; r.logical = v; return r; }
  static Variant MakeInteger(int64_t v) { Variant r; r.kind = VariantKind::Integer; r.integer = v; return r; }
  static Variant MakeReal(double v) { Variant r; r.kind = VariantKind::Real; r.real = v; return r; }
  static Variant MakeDate(double serial) { Variant r; r.kind = VariantKind::Date; r.real = serial; return r; }
  static Variant MakeText(std::string v) { Variant r; r.kind = VariantKind::Text; r.text = std::move(v); return r; }
  static Variant MakeObject(ObjectRef v) { Variant r; r.kind = VariantKind::Object; r.object = std::move(v); return r; }
  static Variant MakeError(int64_t number) { Variant r; r.kind = VariantKind::Error; r.integer = number; return r; }
  static Variant MakeArray(int rows, int cols) {
    Variant r;
    r.kind = VariantKind::Array;
    r.rows = rows;
    r.cols = cols;
    r.array = std::make_shared<std::vector<Variant>>(static_cast<size_t>(rows) * static_cast<size_t>(cols));
    return r;
  }

  bool IsEmpty() const { return kind == VariantKind::Empty; }
  Variant& At(int row, int col) { return (*array)[static_cast<size_t>(row - 1) * cols + (col - 1)]; }
  const Variant& At(int row, int col) const { return (*array)[static_cast<size_t>(row - 1) * cols + (col - 1)]; }
};
