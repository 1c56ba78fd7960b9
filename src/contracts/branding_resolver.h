// The branding resolver of the core support library: the shipped
// configuration (string tables, macros, configuration fragments) as the
// active brand sees it.
//
// Paths are XPath relative to the configuration; a leading "/" is allowed
// ("/features" is the top-level features fragment), and the path macro
// "{%strings%}" names the active brand's string table
// ("{%strings%}/guest"). What the active brand defines wins over the shared
// configuration.
#pragma once

#include <string>

#include "platform/com/object.h"
#include "platform/xml/node.h"

namespace contracts {

// Where the icon base name lives in the string table, and its default.
inline constexpr char kIconBaseNamePath[] = "{%strings%}/icon";
inline constexpr char kDefaultIconBaseName[] = "hearth";

// An object of the object model, so that a client can hand its own resolver
// to the system (cIoNotify.ResClient) and read the system's back.
class BrandingResolver : public virtual platform::com::Object {
 public:
  // Makes the configuration ready (the service calls this at start).
  virtual void Initialise() = 0;
  // Drops every cached answer; later lookups read the configuration anew.
  virtual void Reset() = 0;
  // Makes `brand` the active brand; empty text: the brand the machine
  // configuration names now (or the configuration's default brand).
  virtual void SwitchBrand(const std::string& brand) = 0;
  virtual std::string ActiveBrand() = 0;

  // The text with every macro replaced ("%%PRODUCTNAMESHORT",
  // "%%PRODUCTNAMEFULL", "{%instdir%}", "{%cfdir%}", ...); text without
  // macros comes back unchanged. `brand`: a brand to use instead of the
  // active one, empty for the active one.
  virtual std::string Expand(const std::string& text, const std::string& brand) = 0;

  // The text at the path ("{%strings%}/guest", "oobevars/supportwebsite"),
  // or `fallback` when nothing is there.
  virtual std::string LookupString(const std::string& path, const std::string& fallback) = 0;

  // The nodes the XPath selects ("defaults/" + template + "/*",
  // "/packages//item[@feature='A']"), in document order; empty when none.
  // The nodes belong to a private copy: changing them changes nothing here.
  virtual platform::xml::NodeList LookupNodes(const std::string& xpath) = 0;

  // The XML text of the configuration fragment at the path ("plugins/system",
  // "/features"): the element itself, ready to load as a document; empty
  // text when there is none. `brand` as for Expand.
  virtual std::string ConfigurationXml(const std::string& path, const std::string& brand) = 0;

  // The base name of the product's icon files.
  std::string IconBaseName() { return LookupString(kIconBaseNamePath, kDefaultIconBaseName); }
};

}  // namespace contracts
