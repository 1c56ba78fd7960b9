#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/xml/document.h"
#include "service/features/features.h"
#include "systemlog/system_log.h"

namespace service {

// The configuration fragment that lists the installed features.
constexpr char kFeaturesFragment[] = "/features";
constexpr char kFeatureLetterAttribute[] = "amsid";

std::string GetInstalledFeatures() {
  std::string text;
  if (!platform::Step([&] { text = contracts::Support().Branding()->ConfigurationXml(kFeaturesFragment, ""); })) {
    WriteSystemLog("Error is '" + platform::Err::Description() + "'");
  }

  platform::xml::Document document;
  if (!document.LoadXml(text)) {
    WriteSystemLog("Feature XML was missing or invalid:");
    WriteSystemLog("FeatureXML is " + text);
  }
  const platform::xml::Node root = document.DocumentElement();
  WriteSystemLog("Feature list length is " + std::to_string(root.ChildNodes().Length()));

  std::string installed;
  if (!root) {
    WriteSystemLog("No features returned");
    WriteSystemLog("Feature XML is " + text);
    WriteSystemLog("Feature document XML is " + document.Xml());
    WriteSystemLog("Feature document element name is " + root.NodeName());
    return installed;
  }
  for (const platform::xml::Node& child : root.ChildNodes()) {
    if (child.Type() != platform::xml::NodeType::kElement) continue;
    const std::string letter = child.GetAttribute(kFeatureLetterAttribute);
    WriteSystemLog("Found feature with id " + letter);
    installed = AddFeature(installed, letter);
  }
  WriteSystemLog("Returning installed features " + installed);
  return installed;
}

}  // namespace service
