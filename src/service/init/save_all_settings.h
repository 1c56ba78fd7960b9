// Stores the system collection and the current user's collection when they
// are dirty.
#pragma once

namespace service {

// The system collection goes to the system file; the current user's to the
// file of its "user.sid" (a collection without one is never stored). A
// collection that is not installed, or not dirty, is left alone. Failing
// steps are recorded as the pending error.
void SaveAllSettings();

}  // namespace service
