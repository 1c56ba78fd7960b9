// The everyone group's full access to the product key, granted at every
// start under the service host, so that the suite's other processes can use
// the key.
#pragma once

namespace service {

// Only under the service host (the environment flag): the account-name
// lookup's name of the everyone group ("Everyone" when it answers empty) is
// granted full access to the product key; a key that does not open is
// logged with the local date and time.
void GrantRegistryAccess();

}  // namespace service
