// The resolver's listeners for bus callers: one raises the HostResolved
// signal, the other answers a GetHostname or GetAddress call that was kept
// waiting. Both are called on the service thread and hand over to the bus
// thread.
#include <atomic>
#include <memory>

#include "bus/bus_names.h"
#include "bus/bus_server.h"
#include "bus/call_error.h"
#include "bus/variant_codec.h"
#include "typelib/host_resolved.h"

namespace bus {
namespace {

using platform::Variant;

class SignalingListener final : public typelib::IHostResolved {
 public:
  SignalingListener(std::shared_ptr<BusWaker> waker, BusServer* server) : waker_(std::move(waker)), server_(server) {}

  Variant HostResolved(const std::string& hostname, const std::string& ipaddress) override {
    BusServer* server = server_;
    waker_->Post([server, hostname, ipaddress] {
      const BusInterface& table = DnsResolverInterface();
      server->EmitSignal(kDnsResolverPath, table, *table.FindSignal("HostResolved"),
                         {Variant(hostname), Variant(ipaddress)});
    });
    return {};
  }

 private:
  std::shared_ptr<BusWaker> waker_;
  BusServer* server_;
};

class ReplyingListener final : public typelib::IHostResolved {
 public:
  ReplyingListener(std::shared_ptr<BusWaker> waker, BusServer* server, uint64_t id, bool want_address)
      : waker_(std::move(waker)), server_(server), id_(id), want_address_(want_address) {}

  // A listener the resolver lets go without calling it (its lookup was
  // cancelled) still answers: the caller hears that no answer comes rather
  // than waiting out its timeout, and the kept call is not kept for ever.
  ~ReplyingListener() override {
    if (answered_.exchange(true)) return;
    BusServer* server = server_;
    const uint64_t id = id_;
    waker_->Post([server, id] { server->FailPending(id, "the lookup was cancelled before it was answered"); });
  }

  Variant HostResolved(const std::string& hostname, const std::string& ipaddress) override {
    if (answered_.exchange(true)) return {};
    BusServer* server = server_;
    const uint64_t id = id_;
    std::string text = want_address_ ? ipaddress : hostname;
    waker_->Post([server, id, text = std::move(text)] { server->FinishPending(id, text); });
    return {};
  }

  // The call was answered some other way (its start failed): forget it.
  void Withdraw(BusServer& server) {
    answered_ = true;
    server.DropPending(id_);
  }

 private:
  std::shared_ptr<BusWaker> waker_;
  BusServer* server_;
  uint64_t id_;
  bool want_address_;
  std::atomic<bool> answered_{false};
};

}  // namespace

platform::com::ObjectPtr ExportedObject::SignalListener() {
  return std::make_shared<SignalingListener>(server->waker(), server);
}

platform::com::ObjectPtr ExportedObject::ReplyListener(sd_bus_message* call, bool want_address) {
  return std::make_shared<ReplyingListener>(server->waker(), server, server->KeepPending(call), want_address);
}

int AnswerWhenResolved(CallContext& context, sd_bus_message* message, bool want_address) {
  const char* text = nullptr;
  if (sd_bus_message_read(message, "s", &text) < 0) throw CallError(kErrorInvalidArgs, "a text was expected");
  platform::com::ObjectPtr target = context.Target();
  platform::com::ObjectPtr listener = context.ReplyListener(message, want_address);
  std::vector<Variant> args{Variant(text ? text : ""), Variant(""), Variant(listener)};
  try {
    platform::com::CallByName(target, want_address ? "ResolveHostname" : "ResolveAddress", args);
  } catch (...) {
    // The caller gets the error answer; the listener must not answer again.
    auto* object = dynamic_cast<ExportedObject*>(&context);
    if (auto replying = std::dynamic_pointer_cast<ReplyingListener>(listener); replying && object) {
      replying->Withdraw(*object->server);
    }
    throw;
  }
  return 1;
}

}  // namespace bus
