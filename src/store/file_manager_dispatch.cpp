// cFileMgr's members as late-bound callers reach them, in interface order.
// Handles travel as Longs; StoreStruct writes the stored bytes back into the
// caller's StructBuffer.
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "store/file_manager.h"
#include "systemlog/system_log.h"

namespace store {
namespace {

using platform::CBool;
using platform::CLng;
using platform::CStr;
using platform::Variant;
using platform::com::ArgRange;
using platform::com::Args;
using platform::com::HasArg;

std::string Text(Args args, size_t i) {
  std::string text;
  platform::Quietly([&] { text = CStr(args[i]); });
  return text;
}

int32_t Number(Args args, size_t i) {
  int32_t number = 0;
  platform::Quietly([&] { number = CLng(args[i]); });
  return number;
}

bool Flag(Args args, size_t i) {
  bool flag = false;
  platform::Quietly([&] { flag = CBool(args[i]); });
  return flag;
}

// The elements of a byte array argument; a caller's array whose upper bound
// is not above 0 counts as empty.
Bytes BufferOf(const Variant& value) {
  if (!value.IsByteArray() || !value.IsAllocated() || value.UpperBound() < 1) return {};
  return value.Bytes();
}

Variant SizeVariant(int64_t size) {
  if (size <= 0x7FFFFFFF) return Variant(static_cast<int32_t>(size));
  return Variant(static_cast<double>(size));
}

}  // namespace

const platform::com::DispatchTable* cFileMgr::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<cFileMgr>({
      {"ProtectFile", 1, [](cFileMgr& self, Args args) { return self.ProtectFile(Text(args, 0)); }},
      {"UnprotectFile", 1, [](cFileMgr& self, Args args) { self.UnprotectFile(Text(args, 0)); }},
      {"GetProtectedFileHandle", 1,
       [](cFileMgr& self, Args args) { return self.GetProtectedFileHandle(Text(args, 0)); }},
      {"CreateStoreFile", 3,
       [](cFileMgr& self, Args args) { return self.CreateStoreFile(Text(args, 0), Text(args, 1), Flag(args, 2)); }},
      {"OpenStoreFileForAppend", 2,
       [](cFileMgr& self, Args args) { return self.OpenStoreFileForAppend(Text(args, 0), Text(args, 1)); }},
      {"FinalizeStoreFile", 1,
       [](cFileMgr& self, Args args) {
         self.FinalizeStoreFile(Number(args, 0));
         return Variant();
       }},
      {"BackupRegKey", 5,
       [](cFileMgr& self, Args args) {
         self.BackupRegKey(Number(args, 0), Text(args, 1), Flag(args, 2), Flag(args, 3), Number(args, 4));
       }},
      {"BackupFiles", ArgRange{6, 8},
       [](cFileMgr& self, Args args) {
         int64_t max_size = kDefaultMaxFileSize;
         if (HasArg(args, 7)) platform::Quietly([&] { max_size = static_cast<int64_t>(platform::CDbl(args[7])); });
         self.BackupFiles(Text(args, 0), Text(args, 1), Text(args, 2), Flag(args, 3), Flag(args, 4), Number(args, 5),
                          HasArg(args, 6) ? Text(args, 6) : std::string(), max_size);
       }},
      {"SafeFileSize", 1, [](cFileMgr& self, Args args) { return SizeVariant(self.SafeFileSize(Text(args, 0))); }},
      {"PlayBackStoreFile", 1,
       [](cFileMgr& self, Args args) { return Variant(platform::com::ObjectPtr(self.PlayBackStoreFile(Text(args, 0)))); }},
      {"StoreStruct", ArgRange{7, 8},
       [](cFileMgr& self, Args args) {
         Bytes buffer = BufferOf(args[6]);
         const bool had_bytes = !buffer.empty();
         self.StoreStruct(Text(args, 0), Number(args, 1), Number(args, 2), Flag(args, 3), Flag(args, 4),
                          Number(args, 5), buffer);
         if (had_bytes) args[6] = Variant::ByteArray(std::move(buffer), args[6].LowerBound());
       }},
      {"KillFile", 1, [](cFileMgr& self, Args args) { self.KillFile(Text(args, 0)); }},
  });
  return &table;
}

namespace {

// Runs one late-bound call unless another runs on this object: then the
// call is refused, logged and answered Empty (an empty bag for a playback).
std::optional<Variant> RunAlone(std::string& running, const platform::com::MemberEntry* member,
                                const std::function<std::optional<Variant>()>& call) {
  if (member == nullptr) return call();  // no such member: the caller hears so as usual
  if (!running.empty()) {
    const std::string why = "the file manager is busy with " + running + "; " + member->name + " is refused";
    service::WriteSystemLog("cFileMgr: " + why);
    platform::Err::Set(platform::kErrInvalidCall, why, "cFileMgr");
    if (platform::com::NameEqual{}(member->name, "PlayBackStoreFile")) {
      return Variant(platform::com::ObjectPtr(std::make_shared<PlaybackBag>()));
    }
    return Variant();
  }
  running = member->name;
  struct Done {
    std::string& running;
    ~Done() { running.clear(); }
  } done{running};
  return call();
}

}  // namespace

std::optional<Variant> cFileMgr::TryInvoke(std::string_view name, Args args) {
  return RunAlone(running_, Dispatch()->Find(name, false), [&] { return Object::TryInvoke(name, args); });
}

std::optional<Variant> cFileMgr::TryInvoke(platform::com::DispId id, Args args) {
  return RunAlone(running_, Dispatch()->Find(id, false), [&] { return Object::TryInvoke(id, args); });
}

}  // namespace store
