#include "support/branding/macro_table.h"

#include <gtest/gtest.h>

namespace support {
namespace {

MacroTable Sample() {
  MacroTable table;
  table.Set("%%NAME", "Veltris");
  table.Set("%%NAMEFULL", "Norvale Veltris");
  table.Set("{%dir%}", "/opt/v");
  return table;
}

TEST(SupportMacroTable, ExpandsEveryKindOfPlace) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", ""},
      {"no macros here", "no macros here"},
      {"100% sure, %1 and %% stay", "100% sure, %1 and %% stay"},
      {"%%NAME", "Veltris"},
      {"%%NAMEFULL", "Norvale Veltris"},  // the longer name wins
      {"%%name", "Veltris"},              // letter case does not matter
      {"About %%NAME.", "About Veltris."},
      {"%%NAME%%NAME", "VeltrisVeltris"},
      {"\"{%dir%}/app/repair.exe\" -remove", "\"/opt/v/app/repair.exe\" -remove"},
      {"{%dir%", "{%dir%"},
      {"{%other%}", "{%other%}"},
  };
  MacroTable table = Sample();
  for (const Case& c : cases) EXPECT_EQ(table.Expand(c.text), c.expected) << c.text;
}

TEST(SupportMacroTable, ReplacementsAreNotScannedAgain) {
  MacroTable table;
  table.Set("%%A", "%%B");
  table.Set("%%B", "b");
  table.Set("%%SELF", "x%%SELFx");
  EXPECT_EQ(table.Expand("%%A %%B"), "%%B b");
  EXPECT_EQ(table.Expand("%%SELF"), "x%%SELFx");
}

TEST(SupportMacroTable, SetReplacesByNameInAnyCase) {
  MacroTable table = Sample();
  table.Set("%%name", "Lumen");
  table.Set("", "ignored");
  EXPECT_EQ(table.Expand("%%NAME"), "Lumen");
  ASSERT_NE(table.Find("%%NAME"), nullptr);
  EXPECT_EQ(*table.Find("%%Name"), "Lumen");
  EXPECT_EQ(table.Find("%%MISSING"), nullptr);
}

}  // namespace
}  // namespace support
