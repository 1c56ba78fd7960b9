// Loading a snapshot text into a collection without the load's events, as
// the settings file routines check and read what a file holds.
#pragma once

#include <string_view>

namespace settings {

class cSettings;

// Restores the snapshot's settings into `target` through the XML reader
// (entries added to those it has; no event, Dirty untouched).
void RestoreSnapshotText(cSettings& target, std::string_view xml);

// The collection carries the marker every stored file holds.
bool HoldsUncorruptedMarker(cSettings& loaded);

}  // namespace settings
