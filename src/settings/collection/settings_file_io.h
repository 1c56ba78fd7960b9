// Loading a snapshot text into a collection without the load's events, as
// the settings file routines check and read what a file holds.
#pragma once

#include <string_view>

#include "settings/files/bin_file.h"

namespace settings {

class cSettings;

// Restores the snapshot's settings into `target` through the XML reader
// (entries added to those it has; no event, Dirty untouched).
void RestoreSnapshotText(cSettings& target, std::string_view xml);

// The collection carries the marker every stored file holds.
bool HoldsUncorruptedMarker(cSettings& loaded);

// A check for the owner's work files: the data decrypts to a snapshot that
// carries the marker.
WorkFileCheck SnapshotCheckFor(std::string_view owner);

}  // namespace settings
