// Answering a settings request element: each child names a setting (its
// text becomes the value) or, ending in "-", a stem whose existing settings
// are appended as new elements. "global." in a child's name (any letter
// case) addresses the system collection, else the user's.
//
//   <req><sys.appname/><global.sys.a-/></req>   with system {sys.a1, sys.a2}
//   -> <req><sys.appname>value</sys.appname><global.sys.a-/>
//        <global.sys.a1>..</global.sys.a1><global.sys.a2>..</global.sys.a2></req>
#pragma once

#include "platform/com/object_fwd.h"
#include "platform/xml/node.h"

namespace plugins::host {

// Fills in `request` in place. Missing collections (Nothing) answer empty
// texts and no appended elements; a value that cannot be read gives empty
// text. Never raises.
void AnswerSettingsRequest(platform::xml::Node request, const platform::com::ObjectPtr& system,
                           const platform::com::ObjectPtr& user);

}  // namespace plugins::host
