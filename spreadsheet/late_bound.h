#pragma once
// An object whose members are reached by name at run time, as automation
// clients reach a spreadsheet application's objects. The COM binding and the
// built-in workbook engine both implement it; the spreadsheet component is
// written once over it.
//
// Every member returns false on failure (a name the object does not have,
// wrong arguments, a call the object refused) and then says why in *why when
// why is not null. Names are ASCII member names such as "UsedRange".

#include <string>
#include <vector>

#include "spreadsheet/variant.h"

class LateBound {
 public:
  virtual ~LateBound() = default;

  // Property read, with arguments where the property takes them
  // (Item(2), Range("A1", "B2")).
  virtual bool Get(const std::string& name, const std::vector<Variant>& args, Variant* result,
                   std::string* why) = 0;
  // Property write.
  virtual bool Put(const std::string& name, const std::vector<Variant>& args, const Variant& value,
                   std::string* why) = 0;
  // Method call. result may be null when the caller does not want it.
  virtual bool Call(const std::string& name, const std::vector<Variant>& args, Variant* result,
                    std::string* why) = 0;
};
