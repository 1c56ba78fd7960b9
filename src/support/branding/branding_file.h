// Where the branding configuration lives: <root>/config/branding.xml, copied
// from the configuration shipped inside the program the first time it is
// needed, and read from there, so an administrator's edits win.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/xml/document.h"

namespace support {

// The shipped configuration, as built into the program.
std::string_view ShippedBrandingXml();

// <root>/config/branding.xml.
std::filesystem::path BrandingFilePath();

// Copies the shipped configuration to BrandingFilePath() unless a file is
// there already (an existing file is never overwritten, also when two
// threads or processes copy at once). False when it could not be written.
bool EnsureBrandingFile();

// The root's copy, made first when missing. When the copy cannot be written
// or read, or does not load, the shipped configuration is used and the
// reason goes to the diagnostic sink; the file itself is left as it is.
platform::xml::Document LoadBrandingDocument();

}  // namespace support
