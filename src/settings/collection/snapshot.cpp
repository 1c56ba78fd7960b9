#include <utility>

#include "platform/basic/compare.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_bag.h"
#include "settings/collection/settings_events.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

constexpr std::string_view kTransientPrefix = "tmp.";
constexpr std::string_view kMemberSuffix = ".mv";

// A multi-value member is written unless it is False (or Null, which is not
// "not False" either).
bool MemberIsWritten(const platform::Variant& value) {
  try {
    const platform::CompareResult order = platform::VarCompare(value, platform::Variant(false));
    return order != platform::CompareResult::kEqual && order != platform::CompareResult::kNull;
  } catch (...) {
    return true;  // not comparable: the writer decides what it can hold
  }
}

}  // namespace

std::string cSettings::WriteSnapshotToString() {
  cSettingsXML writer;
  writer.SaveState(this, kSnapshotObjectName);
  return writer.GetXML();
}

void cSettings::CreateSnapshotFromString(std::string_view xml) {
  std::string old_signature;
  platform::Step([&] { old_signature = SettingsSignature(); });
  // The text is parsed before the entries go: the many small blocks the old
  // entries free are then taken again at once by the new ones, instead of
  // being gathered up by the parser's big allocations first.
  cSettingsXML reader;
  platform::Step([&] { reader.LoadXML(xml); });
  platform::Step([&] { Bag().Clear(); });
  platform::Step([&] { reader.RestoreState(this, kSnapshotObjectName); });
  FinishLoad(old_signature);
}

void cSettings::AdoptLoadedSettings(cSettings& loaded) {
  std::string old_signature;
  platform::Step([&] { old_signature = SettingsSignature(); });
  // What a snapshot of `loaded` read back here would hold: no transient
  // names, names without a dot in this collection's namespace.
  SettingsBag& source = loaded.Bag();
  if (namespace_.empty()) {
    for (std::size_t slot = 0; slot < source.SlotCount(); ++slot) {
      const SettingsBag::Entry* entry = source.SlotAt(slot);
      if (entry && std::string_view(entry->name).starts_with(kTransientPrefix)) source.Remove(entry->name);
    }
    std::swap(bag_, loaded.bag_);
    loaded.Bag().Clear();
  } else {
    std::vector<SettingsBag::Entry> entries = source.TakeEntries();
    Bag().Clear();
    for (auto& entry : entries) {
      if (std::string_view(entry.name).starts_with(kTransientPrefix)) continue;
      StoreValueAt(InNamespace(std::move(entry.name)), std::move(entry.value));
    }
  }
  FinishLoad(old_signature);
}

void cSettings::FinishLoad(const std::string& old_signature) {
  platform::Step([&] { ReportOverwrite(old_signature); });
  dirty_ = false;
  RaiseSettingsEvent(events_, kDispIdSettingsLoaded);
}

void cSettings::SaveToPropertyBag(cSettingsXML& writer) {
  if (saving_) {
    // A collection that holds itself would be written without end.
    platform::RaiseError(kErrInvalidPropertyValueType, kInvalidPropertyValueTypeText,
                         kInvalidPropertyValueTypeSource);
  }
  saving_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{saving_};
  SettingsBag& bag = Bag();
  for (std::size_t slot = 0; slot < bag.SlotCount(); ++slot) {
    const SettingsBag::Entry* entry = bag.SlotAt(slot);
    if (!entry) continue;
    const std::string_view name = entry->name;
    if (name.starts_with(kTransientPrefix)) continue;
    const std::size_t equals = name.find('=');
    if (equals == std::string_view::npos) {
      writer.WriteProperty(name, entry->value);
    } else if (MemberIsWritten(entry->value)) {
      std::string property(name.substr(0, equals));
      property += ".MV";
      writer.WriteProperty(property, platform::Variant(name.substr(equals + 1)));
    }
  }
}

void cSettings::RestoreProperty(std::string_view name, std::string text, int32_t vartype) {
  std::string key = platform::LCase(name);
  if (!std::string_view(key).ends_with(kMemberSuffix)) {
    if (vartype == static_cast<int32_t>(platform::VarType::kBoolean)) {
      StoreValueAt(InNamespace(std::move(key)), platform::Variant(platform::CBool(platform::Variant(text))));
    } else {
      StoreValueAt(InNamespace(std::move(key)), platform::Variant(std::move(text)));
    }
    return;
  }
  key.resize(key.size() - kMemberSuffix.size());
  key += '=';
  key += platform::LCase(text);
  StoreValueAt(InNamespace(std::move(key)), platform::Variant(true));
}

std::string cSettings::SettingsSignature() {
  const std::string signature = platform::Trim(platform::CStr(GetValue("legacy.Signature")));
  if (signature == "SPv1") return "<System>";
  if (signature == "TPv1a") return "<User(a):" + platform::CStr(GetValue("user.ID")) + ">";
  if (signature == "TPv1u") return "<User(u):" + platform::CStr(GetValue("user.ID")) + ">";
  return {};
}

void cSettings::ReportOverwrite(const std::string& old_signature) {
  const std::string new_signature = SettingsSignature();
  if (platform::Left(new_signature, 5) != platform::Left(old_signature, 5) && new_signature != old_signature &&
      !old_signature.empty()) {
    service::WriteSystemLog("Settings: Overwrote settings for " + old_signature + " with settings for " +
                            new_signature);
  }
}

}  // namespace settings
