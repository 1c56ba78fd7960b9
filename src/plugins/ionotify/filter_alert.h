// Filter alerts: reports of the web filter, coalesced per alert id and user
// into one alert that grows a line per occurrence.
#pragma once

#include <string>

#include "platform/xml/node.h"

namespace plugins::ionotify {

// The element name that collects the occurrences of an alert id and user:
// the alert id followed by the user with every blank replaced by "_". A key
// that is no XML element name (or has a ':' or starts with "_x-") is written
// as "_x-" followed by the hex digits of its bytes, so that every pair still
// has a name of its own.
std::string FilterAlertKey(const std::string& alert_id, const std::string& user);

// " (date time)" of the occurrence line, in the formats the client set.
std::string FilterAlertStamp(double now, const std::string& date_format, const std::string& time_format,
                             bool use_24_hour);

// The key's element under the document element; null when there is none.
platform::xml::Node FindKeyElement(const platform::xml::Node& root, const std::string& key);

}  // namespace plugins::ionotify
