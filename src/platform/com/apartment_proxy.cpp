#include "platform/com/apartment_proxy.h"

#include <optional>
#include <utility>

#include "platform/basic/err.h"

namespace platform::com {
namespace {

class ApartmentProxy final : public Object {
 public:
  ApartmentProxy(ObjectPtr target, ApartmentPtr home) : target_(std::move(target)), home_(std::move(home)) {}

  ~ApartmentProxy() override {
    if (home_->IsCurrentThread()) return;  // released right here
    // Released on its own thread; if that thread has ended the refused task
    // is dropped, and the object with it, here.
    home_->Post([target = std::move(target_)]() mutable { target.reset(); });
  }

  DispId GetIdOfName(std::string_view name) const override {
    return OnHome([&] { return target_->GetIdOfName(name); });
  }
  std::string TypeName() const override {
    return OnHome([&] { return target_->TypeName(); });
  }
  std::optional<Variant> TryInvoke(std::string_view name, Args args) override {
    return OnHome([&] { return target_->TryInvoke(name, args); });
  }
  std::optional<Variant> TryInvoke(DispId id, Args args) override {
    return OnHome([&] { return target_->TryInvoke(id, args); });
  }
  bool TryPutProperty(std::string_view name, Variant& value) override {
    return OnHome([&] { return target_->TryPutProperty(name, value); });
  }

 private:
  // Runs `call` on the object's thread and hands back its result; what it
  // raises is raised here.
  template <class F>
  auto OnHome(F call) const -> decltype(call()) {
    // While the caller waits it runs its own queued tasks, and one of them
    // may drop the last reference to this proxy: the home thread still reads
    // it, so it lives until the call is back.
    std::shared_ptr<const Object> keep_alive = weak_from_this().lock();
    std::optional<decltype(call())> result;
    if (!home_->Send([&] { result.emplace(call()); }) || !result) {
      RaiseError(kErrDisconnected, "The object invoked has disconnected from its clients.");
    }
    return std::move(*result);
  }

  ObjectPtr target_;
  ApartmentPtr home_;
};

}  // namespace

ObjectPtr MarshalObject(ObjectPtr object, ApartmentPtr home) {
  if (!object) return nullptr;
  if (!home) home = Apartment::Current();
  return std::make_shared<ApartmentProxy>(std::move(object), std::move(home));
}

}  // namespace platform::com
