// A method call on the bus thread: the caller checked, the arguments read,
// the member run on the service thread through its proxy, the answers sent.
#include <cerrno>
#include <cstring>

#include "bus/answer_limit.h"
#include "bus/bus_names.h"
#include "bus/bus_server.h"
#include "bus/call_error.h"
#include "bus/caller_access.h"
#include "bus/variant_codec.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"

namespace bus {
namespace {

using platform::Variant;

// Caller names seen at once; a long-lived service forgets them now and then.
constexpr size_t kMaxRememberedCallers = 4096;
// A caller that left before it could be asked about.
constexpr uid_t kUnknownUid = static_cast<uid_t>(-1);

// About what a value takes in a message (texts and bytes with their length
// and padding; anything else a little).
size_t WireSize(const Variant& value) {
  if (value.IsByteArray()) return value.IsAllocated() ? value.Bytes().size() + 8 : 8;
  if (value.IsArray()) {
    size_t size = 8;
    if (value.IsAllocated()) {
      for (const Variant& item : value.Items()) size += WireSize(item);
    }
    return size;
  }
  if (value.IsString()) return value.StringValue().size() + 9;
  return 16;
}

}  // namespace

uid_t BusServer::CallerUid(sd_bus_message* message) {
  const char* sender = sd_bus_message_get_sender(message);
  const std::string name = sender ? sender : "";
  if (auto found = caller_uids_.find(name); !name.empty() && found != caller_uids_.end()) return found->second;
  uid_t uid = kUnknownUid;
  sd_bus_creds* creds = nullptr;
  if (sd_bus_query_sender_creds(message, SD_BUS_CREDS_EUID | SD_BUS_CREDS_UID, &creds) >= 0) {
    if (sd_bus_creds_get_euid(creds, &uid) < 0 && sd_bus_creds_get_uid(creds, &uid) < 0) uid = kUnknownUid;
    sd_bus_creds_unref(creds);
  }
  if (uid != kUnknownUid && !name.empty()) {
    if (caller_uids_.size() >= kMaxRememberedCallers) caller_uids_.clear();
    caller_uids_[name] = uid;
  }
  return uid;
}

uid_t BusServer::CheckCaller(sd_bus_message* message, const ExportedObject& object, const Member& member,
                             const AccessNeed& need) {
  const uid_t uid = CallerUid(message);
  if (uid != kUnknownUid && UidHasAccess(uid, need.level, kAccessGroup)) return uid;
  const std::string why = need.level == Access::kRoot ? need.why : std::string();
  service::WriteSystemLog(RefusalLogLine(uid, object.table->name, member.name, why));
  throw CallError(kErrorAccessDenied, RefusalText(need.level, kAccessGroup, member.name, why));
}

void BusServer::RunOnService(const std::function<void()>& call) {
  if (!options_.closing) return call();
  // The look at the flag and the call are one task on the service thread,
  // so no call slips in behind a stop that has begun.
  bool refused = false;
  const bool ran = home_->Send([&] {
    if (options_.closing->load()) {
      refused = true;
      return;
    }
    call();  // the objects' proxies run it at once: this is their thread
  });
  if (!ran || refused) throw CallError(kErrorNotAvailable, "the service is stopping");
}

int BusServer::Dispatch(ExportedObject& object, sd_bus_message* message) {
  const char* member_name = sd_bus_message_get_member(message);
  const Member* member = object.table->FindMember(member_name ? member_name : "");
  if (member == nullptr) {
    return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_UNKNOWN_METHOD, "no member %s", member_name);
  }
  std::vector<Variant> args;
  Variant result;
  int answer = 0;
  try {
    uid_t caller = kUnknownUid;
    if (member->access != Access::kRead) {
      caller = CheckCaller(message, object, *member, {member->access, member->access_why});
    }
    // A caller that failed this check too often waits for its answer; the
    // bus thread serves everyone else meanwhile.
    if (member->throttled) {
      const auto at = throttle_.NextCheckAt(caller);
      if (at > throttle_.Now()) {
        Defer(object, message, at);
        return 1;
      }
    }
    if (member->custom) return member->custom(object, message);

    auto finder = [this](const std::string& path) { return ObjectAt(path); };
    for (const std::string& type : SplitSignature(member->in)) args.push_back(ReadTyped(message, type, finder));
    if (member->access_by_args) {
      const AccessNeed need = member->access_by_args(args);
      if (need.level > member->access) CheckCaller(message, object, *member, need);
    }
    if (member->check) member->check(object, args);
    if (member->extra) {
      std::vector<Variant> more = member->extra(object);
      const size_t at = member->extra_at < 0 ? args.size() : std::min<size_t>(member->extra_at, args.size());
      args.insert(args.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
    }
    platform::com::ObjectPtr target = object.Target();
    const std::string& late_bound = member->late_bound.empty() ? member->name : member->late_bound;
    RunOnService([&] {
      if (member->put) {
        platform::com::LetProperty(target, late_bound, args.at(0));
      } else {
        result = platform::com::CallByName(target, late_bound, args);
      }
    });
    if (member->throttled) {
      if (result.IsBoolean() && result.BoolValue()) {
        throttle_.Succeeded(caller);
      } else {
        throttle_.Failed(caller);
      }
    }
    if (member->failure) {
      if (std::optional<std::string> why = member->failure(result, args)) throw CallError(kErrorFailed, *why);
    }
    Learn(member->name, result);
    // The signals the call raised go out before its answer.
    bus_apartment_->PumpPending();

    const std::vector<std::string> types = SplitSignature(member->out);
    size_t answer_size = 0;
    for (size_t i = 0; i < types.size(); ++i) {
      const int source = i < member->outputs.size() ? member->outputs[i] : kResult;
      answer_size += WireSize(source == kResult ? result : args.at(static_cast<size_t>(source)));
    }
    if (answer_size > kMaxAnswerBytes) {
      throw CallError(kErrorFailed, "the answer (about " + std::to_string(answer_size >> 20) +
                                        " MiB) is larger than one message on the bus may be");
    }

    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(message, &reply);
    if (r < 0) throw CallError(kErrorFailed, std::string("cannot answer: ") + std::strerror(-r));
    try {
      auto namer = [this](const platform::com::ObjectPtr& o) { return PathOf(o); };
      for (size_t i = 0; i < types.size(); ++i) {
        const int source = i < member->outputs.size() ? member->outputs[i] : kResult;
        const Variant& value = source == kResult ? result : args.at(static_cast<size_t>(source));
        AppendTyped(reply, types[i], value, namer);
      }
    } catch (...) {
      sd_bus_message_unref(reply);
      throw;
    }
    r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    answer = r < 0 ? r : 1;
  } catch (const CallError& error) {
    answer = sd_bus_reply_method_errorf(message, error.name().c_str(), "%s", error.what());
  } catch (const platform::BasicError& error) {
    answer = sd_bus_reply_method_errorf(message, kErrorFailed, "%s (%d)", error.description().c_str(),
                                        static_cast<int>(error.number()));
  } catch (const std::exception& error) {
    answer = sd_bus_reply_method_errorf(message, kErrorFailed, "%s", error.what());
  }
  args.push_back(std::move(result));
  ReleaseAtHome(std::move(args));
  // A client that left before its answer is no fault of ours.
  return answer < 0 ? 1 : answer;
}

// --- Signals -----------------------------------------------------------------

void BusServer::EmitSignal(const std::string& path, const BusInterface& table, const Signal& signal,
                           const std::vector<Variant>& args) {
  if (bus_ == nullptr) return;
  sd_bus_message* message = nullptr;
  if (sd_bus_message_new_signal(bus_, &message, path.c_str(), table.name.c_str(), signal.name.c_str()) < 0) return;
  auto namer = [this](const platform::com::ObjectPtr& o) { return PathOf(o); };
  const std::vector<std::string> types = SplitSignature(signal.signature);
  bool complete = true;
  for (size_t i = 0; i < types.size() && complete; ++i) {
    const Variant value = i < args.size() ? args[i] : Variant();
    try {
      AppendTyped(message, types[i], value, namer);
    } catch (...) {
      // A text that does not convert (Null) is sent as the empty text.
      try {
        AppendTyped(message, types[i], types[i] == "v" ? Variant() : Variant(""), namer);
      } catch (...) {
        complete = false;
      }
    }
  }
  if (complete) sd_bus_send(bus_, message, nullptr);
  sd_bus_message_unref(message);
}

// --- Answers that come later ---------------------------------------------------

void BusServer::Defer(ExportedObject& object, sd_bus_message* call, std::chrono::steady_clock::time_point at) {
  deferred_.insert({at, {&object, sd_bus_message_ref(call)}});
}

std::optional<std::chrono::steady_clock::time_point> BusServer::NextDeferred() const {
  if (deferred_.empty()) return std::nullopt;
  return deferred_.begin()->first;
}

void BusServer::RunDueDeferred() {
  // A call runs again from the start: it may be deferred once more (an
  // earlier call of the same caller failed meanwhile).
  const auto now = throttle_.Now();
  std::vector<DeferredCall> due;
  while (!deferred_.empty() && deferred_.begin()->first <= now) {
    due.push_back(deferred_.begin()->second);
    deferred_.erase(deferred_.begin());
  }
  for (const DeferredCall& call : due) {
    Dispatch(*call.object, call.message);
    sd_bus_message_unref(call.message);
  }
}

void BusServer::DropDeferred() {
  // A caller still waiting out its delay hears that the service is going
  // rather than waiting for the bus's own time-out.
  for (auto& [at, call] : deferred_) {
    sd_bus_reply_method_errorf(call.message, kErrorNotAvailable, "the service is stopping");
    sd_bus_message_unref(call.message);
  }
  deferred_.clear();
}

uint64_t BusServer::KeepPending(sd_bus_message* call) {
  const uint64_t id = next_pending_++;
  pending_[id] = sd_bus_message_ref(call);
  return id;
}

void BusServer::FailPending(uint64_t id, const std::string& why) {
  auto found = pending_.find(id);
  if (found == pending_.end()) return;
  sd_bus_message* call = found->second;
  pending_.erase(found);
  sd_bus_reply_method_errorf(call, kErrorFailed, "%s", why.c_str());
  sd_bus_message_unref(call);
}

void BusServer::DropPending(uint64_t id) {
  auto found = pending_.find(id);
  if (found == pending_.end()) return;
  sd_bus_message_unref(found->second);
  pending_.erase(found);
}

void BusServer::FinishPending(uint64_t id, const std::string& text) {
  auto found = pending_.find(id);
  if (found == pending_.end()) return;  // the connection it came on is gone
  sd_bus_message* call = found->second;
  pending_.erase(found);
  sd_bus_reply_method_return(call, "s", text.c_str());
  sd_bus_message_unref(call);
}

}  // namespace bus
