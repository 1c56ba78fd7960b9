// The service's objects as the bus thread sees them: found once on the
// service thread, called through apartment proxies, named by their paths.
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "alerts/alert_changes.h"
#include "bus/bus_names.h"
#include "bus/bus_server.h"
#include "bus/call_error.h"
#include "dns/dns_resolver.h"
#include "platform/basic/err.h"
#include "platform/com/apartment_proxy.h"

namespace bus {
namespace {

using platform::Variant;
using platform::com::ObjectPtr;

int OnMethodCall(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* object = static_cast<ExportedObject*>(userdata);
  return object->server->Dispatch(*object, message);
}

// "a\0b\0" as sd-bus wants argument names.
std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list.push_back('\0');
  }
  return list;
}

void BuildVtable(ExportedObject& object) {
  const BusInterface& table = *object.table;
  // Every string the table points at must stay where it is.
  object.texts.reserve(table.members.size() + table.signals.size());
  sd_bus_vtable start{};
  start.type = _SD_BUS_VTABLE_START;
  start.flags = 0;
  start.x.start.element_size = sizeof(sd_bus_vtable);
  start.x.start.features = _SD_BUS_VTABLE_PARAM_NAMES;
  start.x.start.vtable_format_reference = &sd_bus_object_vtable_format;
  object.vtable.push_back(start);
  for (const Member& member : table.members) {
    object.texts.push_back(NameList(member.in_names) + NameList(member.out_names));
    sd_bus_vtable entry{};
    entry.type = _SD_BUS_VTABLE_METHOD;
    // The service checks its callers itself (caller_access.h).
    entry.flags = SD_BUS_VTABLE_UNPRIVILEGED;
    // sd-bus wipes a sensitive call's message from memory when it is freed.
    if (member.sensitive) entry.flags |= SD_BUS_VTABLE_SENSITIVE;
    entry.x.method.member = member.name.c_str();
    entry.x.method.signature = member.in.c_str();
    entry.x.method.result = member.out.c_str();
    entry.x.method.handler = OnMethodCall;
    entry.x.method.offset = 0;
    entry.x.method.names = object.texts.back().c_str();
    object.vtable.push_back(entry);
  }
  for (const Signal& signal : table.signals) {
    object.texts.push_back(NameList(signal.names));
    sd_bus_vtable entry{};
    entry.type = _SD_BUS_VTABLE_SIGNAL;
    entry.x.signal.member = signal.name.c_str();
    entry.x.signal.signature = signal.signature.c_str();
    entry.x.signal.names = object.texts.back().c_str();
    object.vtable.push_back(entry);
  }
  sd_bus_vtable end{};
  end.type = _SD_BUS_VTABLE_END;
  object.vtable.push_back(end);
}

}  // namespace

StoreWork& ExportedObject::StoreOperations() { return server->store_work(); }

CallContext::BusPost ExportedObject::BusPoster() {
  // The server outlives its store work, the only keeper of a poster.
  BusServer* owner = server;
  std::shared_ptr<BusWaker> waker = owner->waker();
  return [owner, waker](std::function<void(sd_bus* bus)> task) {
    return waker->Post([owner, task = std::move(task)] { task(owner->connection()); });
  };
}

bool BusServer::AttachToService() {
  ObjectPtr app, system, user;
  std::vector<Connection> connections;
  auto waker = waker_;
  BusServer* self = this;
  // An event becomes a signal: its arguments are copied here, on the
  // service thread, and sent by the bus thread.
  auto handler = [waker, self](const std::string& path, const BusInterface* table) {
    return [waker, self, path, table](const platform::com::EventCall& event, platform::com::Args args) {
      const Signal* signal = table->FindSignal(event.name);
      if (signal == nullptr) return;
      std::vector<Variant> copy(args.begin(), args.end());
      waker->Post([self, path, table, signal, copy = std::move(copy)] { self->EmitSignal(path, *table, *signal, copy); });
    };
  };
  const bool sent = home_->Send([&] {
    app = application_();
    if (!app) return;
    platform::Quietly([&] { system = platform::com::ObjectOf(platform::com::CallByName(app, "SystemSettings")); });
    platform::Quietly([&] { user = platform::com::ObjectOf(platform::com::CallByName(app, "UserSettings")); });
    auto connect = [&](const ObjectPtr& source, const char* path, const BusInterface& table) {
      if (!source) return;
      const platform::com::Cookie cookie = platform::com::ConnectEvents(source, handler(path, &table));
      if (cookie != 0) connections.push_back({source, cookie});
    };
    // Alerts change through many roads (members, actions, plug-ins): the
    // store tells of each, whichever cIoNotify made it.
    alert_listener_ = alerts::ListenToAlertChanges([waker, self](int32_t index, std::string_view change) {
      const BusInterface& table = IoNotifyInterface();
      const Signal* signal = table.FindSignal("AlertChanged");
      std::vector<Variant> args{Variant(index), Variant(std::string(change))};
      waker->Post([self, &table, signal, args = std::move(args)] { self->EmitSignal(kIoNotifyPath, table, *signal, args); });
    });
    connect(app, kApplicationPath, ApplicationInterface());
    connect(system, kSystemSettingsPath, SettingsInterface());
    connect(user, kUserSettingsPath, SettingsInterface());
  });
  if (!sent || !app) return false;
  connections_ = std::move(connections);
  known_[kApplicationPath] = {app.get(), app};
  if (system) known_[kSystemSettingsPath] = {system.get(), system};
  if (user) known_[kUserSettingsPath] = {user.get(), user};
  app_proxy_ = platform::com::MarshalObject(std::move(app), home_);
  system_proxy_ = platform::com::MarshalObject(std::move(system), home_);
  user_proxy_ = platform::com::MarshalObject(std::move(user), home_);
  attached_ = true;
  return true;
}

void BusServer::DetachFromService() {
  std::vector<Connection> connections = std::move(connections_);
  const uint64_t alert_listener = std::exchange(alert_listener_, 0);
  home_->Send([&] {
    if (alert_listener != 0) alerts::StopListeningToAlertChanges(alert_listener);
    for (const Connection& c : connections) {
      if (ObjectPtr source = c.source.lock()) platform::com::DisconnectEvents(source, c.cookie);
    }
  });
  // The proxies hand their objects back to the service thread.
  app_proxy_.reset();
  system_proxy_.reset();
  user_proxy_.reset();
  io_proxy_.reset();
  resolver_proxy_.reset();
  known_.clear();
  attached_ = false;
}

bool BusServer::Export(std::string* error) {
  struct Plan {
    const char* path;
    const BusInterface& table;
    std::function<ObjectPtr()> target;
  };
  auto fixed = [](const ObjectPtr& proxy, const char* what) {
    return [proxy, what]() -> ObjectPtr {
      if (!proxy) throw CallError(kErrorNotAvailable, std::string("the service has no ") + what);
      return proxy;
    };
  };
  const Plan plans[] = {
      {kApplicationPath, ApplicationInterface(), fixed(app_proxy_, "Application object")},
      {kSystemSettingsPath, SettingsInterface(), fixed(system_proxy_, "system settings")},
      {kUserSettingsPath, SettingsInterface(), fixed(user_proxy_, "user settings")},
      {kIoNotifyPath, IoNotifyInterface(), [this] { return IoNotifyTarget(); }},
      {kDnsResolverPath, DnsResolverInterface(), [this] { return ResolverTarget(); }},
      // Its members work on a file manager of the bus's own (StoreWork).
      {kFileManagerPath, FileManagerInterface(), fixed(nullptr, "service object behind the file manager's members")},
  };
  for (const Plan& plan : plans) {
    auto object = std::make_unique<ExportedObject>();
    object->server = this;
    object->path = plan.path;
    object->table = &plan.table;
    object->target = plan.target;
    BuildVtable(*object);
    const int r = sd_bus_add_object_vtable(bus_, &object->slot, object->path.c_str(), plan.table.name.c_str(),
                                           object->vtable.data(), object.get());
    if (r < 0) {
      *error = "cannot offer " + object->path + ": " + std::strerror(-r);
      return false;
    }
    exports_.push_back(std::move(object));
  }
  // Queued behind another holder of the name rather than refused: the name
  // comes to this service when the other one leaves.
  const int r = sd_bus_request_name(bus_, kBusName, SD_BUS_NAME_QUEUE);
  if (r < 0) {
    *error = std::string("cannot take the name ") + kBusName + ": " + std::strerror(-r);
    return false;
  }
  name_queued_ = r == 0;
  return true;
}

ObjectPtr BusServer::IoNotifyTarget() {
  if (io_proxy_) return io_proxy_;
  if (!app_proxy_) throw CallError(kErrorNotAvailable, "the service has no Application object");
  Variant answer = platform::com::CallByName(app_proxy_, "GetIoNotify");
  if (!answer.IsObject() || answer.IsNothing()) {
    throw CallError(kErrorNotAvailable, "the service has no cIoNotify object");
  }
  Learn("GetIoNotify", answer);
  io_proxy_ = platform::com::MarshalObject(answer.ObjectValue(), home_);
  ReleaseAtHome({std::move(answer)});
  return io_proxy_;
}

ObjectPtr BusServer::ResolverTarget() {
  if (resolver_proxy_) return resolver_proxy_;
  if (!app_proxy_) throw CallError(kErrorNotAvailable, "the service has no Application object");
  Variant answer = platform::com::CallByName(app_proxy_, "DnsResolver");
  if (answer.IsObject() && !answer.IsNothing()) {
    Learn("DnsResolver", answer);
    resolver_proxy_ = platform::com::MarshalObject(answer.ObjectValue(), home_);
    ReleaseAtHome({std::move(answer)});
    return resolver_proxy_;
  }
  // Without a cIoNotify the Application has no resolver: the bus gets one of
  // its own, made and kept on the service thread (only the proxy holds it).
  ObjectPtr proxy;
  const void* raw = nullptr;
  std::weak_ptr<platform::com::Object> weak;
  home_->Send([&] {
    auto resolver = std::make_shared<dns::cDnsResolver>();
    raw = resolver.get();
    weak = resolver;
    proxy = platform::com::MarshalObject(std::move(resolver), home_);
  });
  if (!proxy) throw CallError(kErrorNotAvailable, "the service has ended");
  known_[kDnsResolverPath] = {raw, weak};
  resolver_proxy_ = proxy;
  return resolver_proxy_;
}

void BusServer::Learn(const std::string& member, const Variant& result) {
  if (!result.IsObject() || result.IsNothing()) return;
  const ObjectPtr& object = result.ObjectValue();
  if (member == "GetIoNotify") known_[kIoNotifyPath] = {object.get(), object};
  if (member == "DnsResolver" || member == "GetDnsResolver") known_[kDnsResolverPath] = {object.get(), object};
}

std::string BusServer::PathOf(const ObjectPtr& object) {
  if (!object) return kNothingPath;
  for (const auto& [path, known] : known_) {
    if (known.raw == object.get() && !known.weak.expired()) return path;
  }
  return kNothingPath;
}

ObjectPtr BusServer::ObjectAt(const std::string& path) {
  auto found = known_.find(path);
  return found == known_.end() ? nullptr : found->second.weak.lock();
}

void BusServer::ReleaseAtHome(std::vector<Variant> values) {
  bool holds_object = false;
  for (const Variant& v : values) holds_object = holds_object || v.IsObject() || v.IsArray();
  if (!holds_object) return;
  home_->Post([values = std::move(values)] {});
}

}  // namespace bus
