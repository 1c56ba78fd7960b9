// A settings file read for looking at, beside the running service: nothing on
// disk changes, and the result says why there is no snapshot.
#pragma once

#include <string>
#include <string_view>

namespace settings {

struct StoredSnapshot {
  enum class Status {
    kOk,
    kMissing,  // neither the live file nor a complete work file exists
    kDamaged,  // a file exists but fails its checksum, is too short, or
               // does not decrypt to a snapshot carrying the marker
  };
  Status status = Status::kMissing;
  std::string path;  // the live file's full path
  std::string xml;   // the snapshot text, when kOk
};

// The snapshot stored for `owner` ("" the system collection, "*" the guest
// profile, else a user's identifier). A complete work file left by an
// interrupted write is read in place of the live file, as the service's next
// read would take it up.
StoredSnapshot ReadStoredSnapshot(std::string_view owner);

}  // namespace settings
