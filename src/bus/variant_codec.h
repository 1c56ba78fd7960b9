// Variant <-> D-Bus values. A Variant travels as a D-Bus variant ("v"):
//
//   Boolean b, Byte y, Integer n, Long i, Double d, String s, byte array ay,
//   other arrays av (element by element), objects o (their path, "/" for
//   Nothing or an object that is not on the bus);
//   Empty, Null, Date, Single, Currency and Error have no D-Bus type of their
//   own and travel as a tagged struct (sv): ("Empty", s ""), ("Null", s ""),
//   ("Date", d serial), ("Single", d), ("Currency", x ten-thousandths),
//   ("Error", i code). A String that is not UTF-8 text without NUL bytes
//   and noncharacters (raw bytes, as a byte array read back from a file is)
//   travels as ("String", ay bytes), since an "s" cannot carry it.
//
// So every kind a setting can hold comes back as the kind that was sent:
//   busctl call ... SetValue sv sys.when '(sv)' Date d 45000.5
// Anything else a client sends (u, t, a{sv}, a tag we do not know ...) is
// refused with InvalidArgs, never guessed at.
#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/variant.h"
#include "platform/com/object_fwd.h"

namespace bus {

// The object path an object answer is given as ("/" for none).
using ObjectNamer = std::function<std::string(const platform::com::ObjectPtr&)>;
// The object an incoming path names (Nothing for none).
using ObjectFinder = std::function<platform::com::ObjectPtr(const std::string& path)>;

// Appends `value` as one "v". Raises CallError for a value that cannot be
// sent (an array nested too deep).
void AppendVariant(sd_bus_message* message, const platform::Variant& value, const ObjectNamer& namer);
// Reads one "v". Raises CallError (InvalidArgs) for a kind no Variant holds.
platform::Variant ReadVariant(sd_bus_message* message, const ObjectFinder& finder);

// One argument of a declared type ("s", "b", "i", "n", "y", "d", "o", "v",
// "ay", "ai", "as"): the Variant converted as Basic converts (CStr, CBool,
// CLng ...) on the way out, the plain value on the way in. A text answer
// the bus cannot carry as "s" raises CallError rather than being cut.
void AppendTyped(sd_bus_message* message, std::string_view type, const platform::Variant& value,
                 const ObjectNamer& namer);
platform::Variant ReadTyped(sd_bus_message* message, std::string_view type, const ObjectFinder& finder);

// The complete types of a signature, in order: "sva(sv)" gives s, v, a(sv).
std::vector<std::string> SplitSignature(std::string_view signature);

}  // namespace bus
