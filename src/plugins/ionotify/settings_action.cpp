// "settings": writes each "setting" child to the system collection (an id
// beginning "global.") or to the current user's, then asks the Application
// object once to store the change and tell everyone, unless every setting
// was marked silent.
//
// A message may carry hundreds of settings: the children are read in one
// pass over the document (no handle per child) into one buffer of texts,
// each collection is looked up once, and trace texts are built only when
// tracing is on.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/xml/node.h"
#include "plugins/ionotify/actions.h"
#include "settings/collection/storable_setting.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

constexpr std::string_view kGlobalPrefix = "global.";

// The settings a message asks for, copied out of the document before any is
// written: names and values side by side in one buffer, so that hundreds of
// settings cost a few allocations rather than two each.
class SettingWrites {
 public:
  struct Write {
    bool global;
    std::string_view name;
    std::string_view value;
  };

  void Reserve(std::size_t settings) {
    entries_.reserve(settings);
    texts_.reserve(settings * kTypicalTexts);
  }
  // The setting's name, and its text as its value.
  void Add(bool global, std::string_view name, const platform::xml::ElementView& setting) {
    const std::size_t at = texts_.size();
    texts_.append(name);
    setting.AppendText(texts_);
    entries_.push_back({global, at, name.size(), texts_.size() - at - name.size()});
  }
  bool Empty() const { return entries_.empty(); }

  template <class Visit>
  void ForEach(Visit&& visit) const {
    const std::string_view texts = texts_;
    for (const Entry& entry : entries_) {
      visit(Write{entry.global, texts.substr(entry.at, entry.name_size),
                  texts.substr(entry.at + entry.name_size, entry.value_size)});
    }
  }

 private:
  // A name and a value of the usual length; longer ones grow the buffer.
  static constexpr std::size_t kTypicalTexts = 32;
  struct Entry {
    bool global;
    std::size_t at, name_size, value_size;
  };
  std::vector<Entry> entries_;
  std::string texts_;
};

// The collection, looked up on first use; raises 424 while there is none, so
// each setting written to a missing collection fails alone, as before.
class Collection {
 public:
  explicit Collection(settings::SettingsPtr (*lookup)()) : lookup_(lookup) {}
  settings::cSettings& Get() {
    if (collection_ == nullptr) collection_ = lookup_();
    if (collection_ == nullptr) platform::RaiseError(platform::kErrObjectNotSet, {}, "DoXMLAction");
    return *collection_;
  }

 private:
  settings::SettingsPtr (*lookup_)();
  settings::SettingsPtr collection_;
};

// One write; a setting the collection refuses (a name or value no store could
// hold) is logged with the reason, under the id the message gave, and stops
// nothing else: the error is cleared.
void Write(Collection& collection, const SettingWrites::Write& write) {
  try {
    collection.Get().SetValue(write.name, platform::Variant(std::string(write.value)));
  } catch (const platform::BasicError& error) {
    if (error.number() == settings::kErrUnstorableSetting) {
      const std::string shown_name = (write.global ? std::string(kGlobalPrefix) : std::string()) += write.name;
      service::WriteSystemLog("DoXMLAction - setting '" + shown_name + "' refused: " + error.description());
    }
    platform::Err::Clear();
  } catch (...) {
    platform::Err::Clear();
  }
}

std::string TraceText(const SettingWrites::Write& write) {
  std::string text = write.global ? "setting global setting '" : "setting user setting '";
  ((((text += write.name) += "' to value '") += write.value) += "'");
  return text;
}

}  // namespace

void SettingsAction(cIoNotify& io, const Node& action) {
  SettingWrites writes;
  std::size_t children = 0;
  action.ForEachChildElement([&](const platform::xml::ElementView&) { ++children; });
  writes.Reserve(children);
  bool notify = false;
  action.ForEachChildElement([&](const platform::xml::ElementView& setting) {
    if (setting.Name() != "setting") return;
    if (setting.GetAttribute("silent") != "true") notify = true;
    std::string_view id = setting.GetAttribute("id");
    if (id.empty()) return;
    const bool global = id.substr(0, kGlobalPrefix.size()) == kGlobalPrefix;
    writes.Add(global, global ? platform::TrimmedView(id.substr(kGlobalPrefix.size())) : id, setting);
  });

  Collection system(&settings::GetSystemSettings);
  Collection user(&settings::GetUserSettings);
  writes.ForEach([&](const SettingWrites::Write& write) {
    // A global setting is traced before its write, a user setting after.
    if (write.global && io.Tracing()) io.Trace(TraceText(write));
    Write(write.global ? system : user, write);
    if (!write.global && io.Tracing()) io.Trace(TraceText(write));
  });
  if (!writes.Empty() && notify) {
    io.Trace("triggering settingschanged event");
    std::vector<platform::Variant> args{platform::Variant(true)};
    platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
  }
}

}  // namespace plugins::ionotify
