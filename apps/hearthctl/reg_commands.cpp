// The "reg" commands: get, set, delete and list on the registry hive.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "platform/registry/key_name.h"
#include "platform/registry/key_path.h"
#include "platform/registry/registry_helpers.h"
#include "reg_value_text.h"

namespace hearthctl {
namespace {

namespace reg = platform::registry;

std::string ResultText(reg::LONG result) {
  switch (result) {
    case reg::kErrorFileNotFound: return "not found";
    case reg::kErrorAccessDenied: return "access denied";
    case reg::kErrorInvalidParameter: return "invalid name";
    case reg::kErrorBusy: return "the registry hive is busy in another process";
    case reg::kErrorDiskFull: return "the disk is full";
    case reg::kErrorRegistryIoFailed: return "the registry hive cannot be read or written";
    case reg::kErrorRegistryCorrupt: return "the registry hive is damaged";
    default: return "registry error " + std::to_string(result);
  }
}

// One reg command's call: its arguments parsed and its KEY understood.
struct RegCall {
  RegCall(const Command& command, Io& command_io) : self(command), io(command_io) {}

  const Command& self;
  Io& io;
  ParsedArguments parsed;
  reg::RootedKeyPath key;
  int exit_code = kExitOk;

  // Parses the options, checks the count of positional arguments and reads
  // KEY (the first). False, with exit_code set, after reporting a problem.
  bool Start(const Arguments& args, size_t min, size_t max, const std::vector<std::string>& with_value) {
    if (!ParseCommandArguments(self, args, min, max, with_value, &parsed, io, &exit_code)) return false;
    std::optional<reg::RootedKeyPath> parsed_key = reg::ParseRootedKeyPath(KeyText());
    if (!parsed_key) {
      exit_code = UsageError(io, self, "not a key: \"" + EscapeText(KeyText()) +
                                           "\" (write it like HKLM\\SOFTWARE\\Norvale; roots HKCR, HKCU, "
                                           "HKLM, HKU or their HKEY_ names)");
      return false;
    }
    key = *parsed_key;
    return true;
  }

  const std::string& KeyText() const { return parsed.positional[0]; }
  const std::string& Arg(size_t index) const { return parsed.positional[index]; }

  // Reports a failed call on KEY (and the value `name` when given).
  int Failure(reg::LONG result, const std::string* name = nullptr) {
    if (result == reg::kErrorFileNotFound && !reg::KeyExists(key.root, key.sub_key)) {
      return Report(io, self, "key not found: " + EscapeText(KeyText()), kExitFailure);
    }
    if (result == reg::kErrorFileNotFound && name != nullptr) {
      return Report(io, self, "value not found: \"" + EscapeText(*name) + "\" in " + EscapeText(KeyText()),
                    kExitFailure);
    }
    return Report(io, self, ResultText(result) + ": " + EscapeText(KeyText()), kExitFailure);
  }
};

std::string ShownName(const std::string& name) { return name.empty() ? "(Default)" : EscapeText(name); }

const GroupRegistration kGroup{
    "reg", "read and write the registry hive",
    "KEY is a root and a path: HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5; the roots are HKCR, HKCU, HKLM, HKU\n"
    "or HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS. Names compare without\n"
    "regard to case. NAME \"\" is the key's default value."};

int RegGet(const Command& self, const Arguments& args, Io& io) {
  RegCall call{self, io};
  if (!call.Start(args, 2, 2, {})) return call.exit_code;
  reg::RegValue value;
  reg::LONG result = reg::ReadValue(call.key.root, call.key.sub_key, call.Arg(1), &value);
  if (result != reg::kErrorSuccess) return call.Failure(result, &call.Arg(1));
  io.out << FormatValueData(value.type, value.data) << "\n";
  return kExitOk;
}

int RegSet(const Command& self, const Arguments& args, Io& io) {
  RegCall call{self, io};
  if (!call.Start(args, 3, 3, {"--type"})) return call.exit_code;
  reg::DWORD type = reg::kRegSz;
  if (call.parsed.Has("--type") && !ParseValueType(call.parsed.Option("--type"), &type)) {
    return UsageError(io, self, "unknown type " + call.parsed.Option("--type"));
  }
  std::string data, error;
  if (!ParseValueData(type, call.Arg(2), &data, &error)) return UsageError(io, self, error);
  reg::LONG result = reg::WriteValue(call.key.root, call.key.sub_key, call.Arg(1), type, data);
  if (result != reg::kErrorSuccess) return call.Failure(result);
  return kExitOk;
}

int RegDelete(const Command& self, const Arguments& args, Io& io) {
  RegCall call{self, io};
  if (!call.Start(args, 1, 2, {})) return call.exit_code;
  if (call.parsed.positional.size() == 2) {
    reg::LONG result = reg::DeleteValue(call.key.root, call.key.sub_key, call.Arg(1));
    if (result != reg::kErrorSuccess) return call.Failure(result, &call.Arg(1));
    return kExitOk;
  }
  if (call.key.sub_key.empty()) return Report(io, self, "a root key is never deleted", kExitFailure);
  reg::LONG result = reg::DeleteKeyTree(call.key.root, call.key.sub_key);
  if (result != reg::kErrorSuccess) return call.Failure(result);
  return kExitOk;
}

int RegList(const Command& self, const Arguments& args, Io& io) {
  RegCall call{self, io};
  if (!call.Start(args, 1, 1, {})) return call.exit_code;
  std::vector<std::string> subkeys;
  std::vector<reg::RegValue> values;
  reg::LONG result = reg::ListSubkeys(call.key.root, call.key.sub_key, &subkeys);
  if (result == reg::kErrorSuccess) result = reg::ListValues(call.key.root, call.key.sub_key, &values);
  if (result != reg::kErrorSuccess) return call.Failure(result);
  // The hive gives values in the order written; people read them by name.
  std::string fold_a, fold_b;
  std::stable_sort(values.begin(), values.end(), [&](const reg::RegValue& a, const reg::RegValue& b) {
    reg::FoldName(a.name, &fold_a);
    reg::FoldName(b.name, &fold_b);
    return fold_a < fold_b;
  });
  for (const std::string& name : subkeys) io.out << EscapeText(name) << "\\\n";
  for (const reg::RegValue& value : values) {
    std::string_view type_name = reg::ValueTypeName(value.type);
    io.out << ShownName(value.name) << "\t"
           << (type_name.empty() ? "REG_" + std::to_string(value.type) : std::string(type_name)) << "\t"
           << FormatValueData(value.type, value.data) << "\n";
  }
  return kExitOk;
}

const CommandRegistration kGet{{
    .group = "reg",
    .name = "get",
    .arguments = "KEY NAME",
    .summary = "print the data of a value",
    .details = "Texts print as they are (control characters as \\xNN), numbers in decimal, multi-strings\n"
               "joined by \\0, other data as hexadecimal bytes.",
    .run = RegGet,
}};

const CommandRegistration kSet{{
    .group = "reg",
    .name = "set",
    .arguments = "[--type TYPE] KEY NAME VALUE",
    .summary = "write a value (a string unless --type says otherwise), creating the key",
    .details = "TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ (VALUE split at \\0), REG_DWORD or\n"
               "REG_QWORD (decimal or 0x-hexadecimal), REG_BINARY or REG_NONE (hexadecimal bytes).\n"
               "Texts are stored with their terminating NUL.",
    .run = RegSet,
}};

const CommandRegistration kDelete{{
    .group = "reg",
    .name = "delete",
    .arguments = "KEY [NAME]",
    .summary = "delete a value, or a key with every key and value below it",
    .details = {},
    .run = RegDelete,
}};

const CommandRegistration kList{{
    .group = "reg",
    .name = "list",
    .arguments = "KEY",
    .summary = "list the subkeys, then the values with their type and data",
    .details = "One line each: a subkey as NAME\\, a value as NAME<tab>TYPE<tab>DATA, sorted by name.",
    .run = RegList,
}};

}  // namespace
}  // namespace hearthctl
