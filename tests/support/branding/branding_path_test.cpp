#include "support/branding/branding_path.h"

#include <gtest/gtest.h>

namespace support {
namespace {

TEST(SupportBrandingPath, BecomesXPathBelowTheConfiguration) {
  struct Case {
    const char* path;
    const char* xpath;
  } cases[] = {
      {"{%strings%}/guest", "strings/guest"},
      {"{%STRINGS%}/guest", "strings/guest"},
      {"strings/arppublisher", "strings/arppublisher"},
      {"/features", "features"},
      {"/packages//item[@feature='A']", "packages//item[@feature='A']"},
      {"//item", ".//item"},
      {"defaults/antivirus/*", "defaults/antivirus/*"},
      {"", ""},
      {"/", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BrandingXPath(c.path), c.xpath) << c.path;
}

}  // namespace
}  // namespace support
