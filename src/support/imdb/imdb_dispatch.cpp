// The component's late-bound members and its class registration.
#include "platform/basic/conversions.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_table.h"
#include "support/imdb/imdb.h"
#include "support/imdb/imdb_error.h"

namespace support {
namespace {

using platform::Variant;
using platform::com::ArgRange;
using platform::com::Args;
using platform::com::HasArg;
using platform::com::Member;

// Hands an answer back both ways: as the result and in the out-parameter.
Variant Answer(Args args, size_t out_index, Variant value) {
  if (HasArg(args, out_index)) args[out_index] = value;
  return value;
}

// A one-byte argument given as a text ("," or "|") or a number (10).
char ByteArgument(const Variant& value) {
  if (value.IsString()) {
    const std::string& text = value.StringValue();
    if (text.size() != 1) platform::RaiseError(platform::kErrInvalidCall, {}, kImdbProgId);
    return text[0];
  }
  return static_cast<char>(platform::CByte(value));
}

}  // namespace

const platform::com::DispatchTable* Imdb::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Imdb>({
      {"SetMaxSize", 1, [](Imdb& self, Args args) { self.SetMaxSize(static_cast<int64_t>(platform::CDbl(args[0]))); }},
      {"Open", 1, [](Imdb& self, Args args) { self.Open(platform::CStr(args[0])); }},
      {"Close", [](Imdb& self) { self.Close(); }},
      {"Execute", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.Execute(platform::CStr(args[0]))); }},
      {"Check", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.Check(platform::CStr(args[0]))); }},
      {"RowCount", ArgRange{0, 1}, [](Imdb& self, Args args) { return Answer(args, 0, self.RowCount()); }},
      {"MoveFirst", ArgRange{0, 1}, [](Imdb& self, Args args) { return Answer(args, 0, self.MoveFirst()); }},
      {"MoveNext", ArgRange{0, 1}, [](Imdb& self, Args args) { return Answer(args, 0, self.MoveNext()); }},
      {"GetField", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.GetField(platform::CLng(args[0]))); }},
      {"GetFieldLong", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.GetFieldLong(platform::CLng(args[0]))); }},
      {"GetFieldText", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.GetFieldText(platform::CLng(args[0]))); }},
      {"GetFieldBool", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.GetFieldBool(platform::CLng(args[0]))); }},
      {"GetFieldDouble", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.GetFieldDouble(platform::CLng(args[0]))); }},
      {"SetField", 2, [](Imdb& self, Args args) { self.SetField(platform::CLng(args[0]), args[1]); }},
      {"SetFieldLong", 2,
       [](Imdb& self, Args args) { self.SetFieldLong(platform::CLng(args[0]), platform::CLng(args[1])); }},
      {"SetFieldText", 2,
       [](Imdb& self, Args args) { self.SetFieldText(platform::CLng(args[0]), platform::CStr(args[1])); }},
      {"SetFieldBool", 2,
       [](Imdb& self, Args args) { self.SetFieldBool(platform::CLng(args[0]), platform::CBool(args[1])); }},
      {"SetFieldDouble", 2,
       [](Imdb& self, Args args) { self.SetFieldDouble(platform::CLng(args[0]), platform::CDbl(args[1])); }},
      {"InsertRow", ArgRange{1, 2},
       [](Imdb& self, Args args) { return Answer(args, 1, self.InsertRow(platform::CStr(args[0]))); }},
      {"UpdateRow", ArgRange{0, 1}, [](Imdb& self, Args args) { return Answer(args, 0, self.UpdateRow()); }},
      {"CloseResult", [](Imdb& self) { self.CloseResult(); }},
      {"ExportTable", 4,
       [](Imdb& self, Args args) {
         self.ExportTable(platform::CStr(args[0]), platform::CStr(args[1]), ByteArgument(args[2]),
                          ByteArgument(args[3]));
       }},
  });
  return &table;
}

void RegisterImdbClass() {
  if (!platform::com::IsClassRegistered(kImdbProgId)) platform::com::RegisterClass<Imdb>(kImdbProgId);
}

}  // namespace support
