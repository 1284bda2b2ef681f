#include <gtest/gtest.h>

#include <string>

#include "spreadsheet/application_source.h"
#include "spreadsheet/late_bound.h"

namespace {

struct ChoiceRestorer {
  ~ChoiceRestorer() { SetEngineChoice(EngineChoice::Auto); }
};

TEST(ApplicationSource, EachChoiceGivesItsApplicationOrSaysWhy) {
  ChoiceRestorer restore;
  std::string why;
  bool builtin = false;

  SetEngineChoice(EngineChoice::Builtin);
  ObjectRef engine = CreateSpreadsheetApplication(&why, &builtin);
  ASSERT_TRUE(engine);
  EXPECT_TRUE(builtin);
  Variant workbooks;
  EXPECT_TRUE(engine->Get("Workbooks", {}, &workbooks, &why)) << why;
  EXPECT_EQ(workbooks.kind, VariantKind::Object);

  SetEngineChoice(EngineChoice::Excel);
  why.clear();
  ObjectRef excel = CreateSpreadsheetApplication(&why, &builtin);
  EXPECT_FALSE(builtin) << "the automation choice never falls back to the engine";
#ifndef _WIN32
  EXPECT_FALSE(excel);
#endif
  if (!excel) EXPECT_FALSE(why.empty());

  SetEngineChoice(EngineChoice::Auto);
  ObjectRef any = CreateSpreadsheetApplication(&why, &builtin);
  ASSERT_TRUE(any) << "the engine stands in when no spreadsheet application can be had";
#ifndef _WIN32
  EXPECT_TRUE(builtin);
#endif
}

}  // namespace
