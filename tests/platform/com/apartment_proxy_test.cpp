#include "platform/com/apartment_proxy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace platform::com {
namespace {

// Records the thread each call ran on and whether two calls ever overlapped.
class ThreadBound : public Object {
 public:
  explicit ThreadBound(std::thread::id* released_on = nullptr) : released_on_(released_on) {}
  ~ThreadBound() override {
    if (released_on_) *released_on_ = std::this_thread::get_id();
  }

  std::thread::id last_thread;
  int32_t count = 0;  // plain int: calls must come one at a time
  std::atomic<bool> busy{false};
  std::atomic<bool> overlapped{false};

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<ThreadBound>({
        {"Bump",
         [](ThreadBound& self) {
           if (self.busy.exchange(true)) self.overlapped = true;
           self.last_thread = std::this_thread::get_id();
           const int32_t seen = self.count;
           std::this_thread::yield();
           self.count = seen + 1;
           self.busy = false;
           return self.count;
         }},
        {"Describe", 1, [](ThreadBound& self, Args args) { args[0] = std::string("count ") + CStr(Variant(self.count)); }},
        {"Fail", [](ThreadBound&) { RaiseError(kErrPermissionDenied); }},
        {"CallBack", 1, [](ThreadBound&, Args args) { return CallByName(ObjectOf(args[0]), "Bump"); }},
    });
    return &table;
  }

 private:
  std::thread::id* released_on_;
};

// An object living on a thread of its own that runs its apartment loop.
class HomeThread {
 public:
  explicit HomeThread(std::thread::id* released_on = nullptr) {
    std::promise<void> ready;
    thread_ = std::thread([&, released_on] {
      home_ = Apartment::Current();
      object_ = std::make_shared<ThreadBound>(released_on);
      proxy_ = MarshalObject(object_);
      ready.set_value();
      home_->Run();
      object_.reset();
    });
    ready.get_future().wait();
  }
  ~HomeThread() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    home_->Quit();
    thread_.join();
  }
  ThreadBound& object() { return *object_; }
  ObjectPtr proxy() { return proxy_; }
  ApartmentPtr apartment() { return home_; }
  std::thread::id id() const { return home_->owner(); }
  void DropProxy() { proxy_.reset(); }

 private:
  std::thread thread_;
  ApartmentPtr home_;
  std::shared_ptr<ThreadBound> object_;
  ObjectPtr proxy_;
};

TEST(ApartmentProxyTest, CallsRunOnTheObjectsThreadWithArgumentsByReference) {
  HomeThread home;
  ObjectPtr proxy = home.proxy();
  EXPECT_EQ(CallByName(proxy, "bump").LongValue(), 1);
  EXPECT_EQ(home.object().last_thread, home.id());
  std::vector<Variant> args{Variant()};
  CallByName(proxy, "Describe", args);
  EXPECT_EQ(args[0].StringValue(), "count 1");
  EXPECT_NE(proxy->GetIdOfName("Bump"), kDispIdUnknown);
  EXPECT_EQ(proxy->TypeName(), "ThreadBound");
}

TEST(ApartmentProxyTest, ErrorsOfTheObjectReachTheCaller) {
  HomeThread home;
  ObjectPtr proxy = home.proxy();
  for (auto [member, number] : {std::pair{"Fail", 70}, std::pair{"NoSuchMember", 438}}) {
    try {
      CallByName(proxy, member);
      ADD_FAILURE() << member;
    } catch (const BasicError& e) {
      EXPECT_EQ(e.number(), number) << member;
    }
  }
}

TEST(ApartmentProxyTest, CallsFromManyThreadsRunOneAtATime) {
  HomeThread home;
  ObjectPtr proxy = home.proxy();
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([proxy] {
      for (int i = 0; i < 200; ++i) CallByName(proxy, "Bump");
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(home.object().count, 800);
  EXPECT_FALSE(home.object().overlapped);
}

TEST(ApartmentProxyTest, TheObjectMayCallBackIntoTheWaitingCaller) {
  std::thread([] {
    HomeThread home;
    // A sink on this thread, marshalled so the home object calls it here.
    auto local = std::make_shared<ThreadBound>();
    std::vector<Variant> args{Variant(MarshalObject(local))};
    EXPECT_EQ(CallByName(home.proxy(), "CallBack", args).LongValue(), 1);
    EXPECT_EQ(local->last_thread, std::this_thread::get_id());
  }).join();
}

TEST(ApartmentProxyTest, AfterTheObjectsThreadEndedCallsRaiseDisconnected) {
  std::thread::id released_on;
  HomeThread home(&released_on);
  ObjectPtr proxy = home.proxy();
  home.DropProxy();
  home.Stop();
  try {
    CallByName(proxy, "Bump");
    ADD_FAILURE();
  } catch (const BasicError& e) {
    EXPECT_EQ(e.number(), -2147417848);
    EXPECT_EQ(e.description(), "The object invoked has disconnected from its clients.");
  }
  Err::Clear();
  EXPECT_FALSE(Step([&] { proxy->HasMember("Bump"); }));
  Err::Clear();
}

TEST(ApartmentProxyTest, TheLastProxyReleasesTheObjectOnItsOwnThread) {
  std::thread::id released_on;
  ApartmentPtr home;
  ObjectPtr proxy;
  std::promise<void> ready;
  std::thread owner([&] {
    home = Apartment::Current();
    proxy = MarshalObject(std::make_shared<ThreadBound>(&released_on));  // the only reference
    ready.set_value();
    home->Run();
  });
  ready.get_future().wait();
  EXPECT_EQ(CallByName(proxy, "Bump").LongValue(), 1);
  proxy.reset();  // from this thread: the release is posted home
  home->Quit();
  owner.join();
  EXPECT_EQ(released_on, home->owner());
}

// While a caller waits for the home thread it runs its own queued tasks; one
// of them drops the last reference to the proxy the call went through. The
// home thread, held back by a gate until then, still finds the proxy whole.
TEST(ApartmentProxyTest, ACallOutlivesTheCallersLastReferenceDroppedWhileWaiting) {
  HomeThread home;
  ObjectPtr proxy = home.proxy();
  home.DropProxy();  // this test's reference is the last one
  std::promise<void> dropped;
  std::shared_future<void> gate = dropped.get_future().share();
  ASSERT_TRUE(home.apartment()->Post([gate] { gate.wait(); }));
  ASSERT_TRUE(Apartment::Current()->Post([&] {
    proxy.reset();
    dropped.set_value();
  }));
  Object* raw = proxy.get();
  EXPECT_EQ(raw->Invoke("Bump").LongValue(), 1);
  EXPECT_EQ(proxy, nullptr);
}

TEST(ApartmentProxyTest, NothingStaysNothing) { EXPECT_EQ(MarshalObject(nullptr), nullptr); }

}  // namespace
}  // namespace platform::com
