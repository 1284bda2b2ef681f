#include "tests/win32/standin/test_object.h"

#include <map>
#include <memory>

#include "spreadsheet/late_bound.h"
#include "text/encoding.h"

namespace {

class TestObject : public LateBound {
 public:
  explicit TestObject(bool bare = false) : bare_(bare) {}
  bool bare() const { return bare_; }

  bool Get(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    if (name == "Stored") {
      *result = stored_[Slot(args)];
      return true;
    }
    if (name == "Child") {
      *result = Variant::MakeObject(std::make_shared<TestObject>());
      return true;
    }
    if (name == "Bare") {
      *result = Variant::MakeObject(std::make_shared<TestObject>(true));
      return true;
    }
    if (name == "Frobnicate") {
      *result = Variant::MakeInteger(42);
      return true;
    }
    return Missing(name, why);
  }
  bool Put(const std::string& name, const std::vector<Variant>& args, const Variant& value,
           std::string* why) override {
    if (name == "Stored") {
      stored_[Slot(args)] = value;
      return true;
    }
    return Missing(name, why);
  }
  bool Call(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    Variant ignored;
    if (!result) result = &ignored;
    if (name == "Echo") {
      if (args.size() == 1) {
        *result = args[0];
      } else {
        *result = Variant::MakeArray(1, static_cast<int>(args.size()));
        for (size_t i = 0; i < args.size(); ++i) result->At(1, static_cast<int>(i + 1)) = args[i];
      }
      return true;
    }
    if (name == "Twice") {
      if (args.size() != 1) return Fail(why, "Twice takes one argument");
      const Variant& x = args[0];
      if (x.kind == VariantKind::Integer) *result = Variant::MakeInteger(x.integer * 2);
      else if (x.kind == VariantKind::Real) *result = Variant::MakeReal(x.real * 2);
      else return Fail(why, "Twice takes a number");
      return true;
    }
    if (name == "Fail") return Fail(why, FromUtf8("故意失败 (deliberate failure)"));
    return Missing(name, why);
  }

 private:
  static bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
  }
  static bool Missing(const std::string& name, std::string* why) {
    return Fail(why, "no member named " + name);
  }
  static int64_t Slot(const std::vector<Variant>& args) {
    return args.empty() ? 0 : args[0].kind == VariantKind::Integer ? args[0].integer : static_cast<int64_t>(args[0].real);
  }

  bool bare_;
  std::map<int64_t, Variant> stored_;
};

}  // namespace

ObjectRef CreateStandInTestObject() { return std::make_shared<TestObject>(); }

bool ServedWithoutTypeInfo(const ObjectRef& object) {
  auto* t = dynamic_cast<TestObject*>(object.get());
  return t && t->bare();
}
