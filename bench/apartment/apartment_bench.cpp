// The cost of the object model's moving parts: posting and draining tasks,
// a call sent to another thread and back, a late-bound call by name against
// a direct C++ call, and raising an event.
#include <benchmark/benchmark.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/apartment/apartment.h"
#include "platform/com/apartment_proxy.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/event_source.h"

namespace {

using platform::Apartment;
using platform::ApartmentPtr;
using platform::Variant;
using namespace platform::com;

class Adder : public Object {
 public:
  int32_t Add(int32_t n) { return total_ += n; }

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<Adder>({
        {"Reset", [](Adder& self) { self.total_ = 0; }},
        {"Total", [](Adder& self) { return self.total_; }},
        {"Subtract", 1, [](Adder& self, Args args) { return self.total_ -= args[0].LongValue(); }},
        {"AddValue", 1, [](Adder& self, Args args) { return self.Add(args[0].LongValue()); }},
    });
    return &table;
  }

 private:
  int32_t total_ = 0;
};

void BM_PostAndPump(benchmark::State& state) {
  ApartmentPtr apartment = Apartment::Current();
  int64_t ran = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) apartment->Post([&ran] { ++ran; });
    apartment->PumpPending();
  }
  state.SetItemsProcessed(ran);
}
BENCHMARK(BM_PostAndPump);

// A thread running its apartment loop for as long as this lives.
class LoopThread {
 public:
  LoopThread() {
    std::promise<ApartmentPtr> started;
    thread_ = std::thread([&] {
      started.set_value(Apartment::Current());
      Apartment::Current()->Run();
    });
    apartment_ = started.get_future().get();
  }
  ~LoopThread() {
    apartment_->Quit();
    thread_.join();
  }
  Apartment& apartment() { return *apartment_; }

 private:
  std::thread thread_;
  ApartmentPtr apartment_;
};

void BM_PostFromAnotherThread(benchmark::State& state) {
  LoopThread owner;
  for (auto _ : state) owner.apartment().Post([] {});
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostFromAnotherThread);

void BM_SendRoundTrip(benchmark::State& state) {
  LoopThread owner;
  int value = 0;
  for (auto _ : state) owner.apartment().Send([&value] { ++value; });
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendRoundTrip);

void BM_DirectCall(benchmark::State& state) {
  auto adder = std::make_shared<Adder>();
  for (auto _ : state) benchmark::DoNotOptimize(adder->Add(1));
}
BENCHMARK(BM_DirectCall);

void BM_LateBoundCallByName(benchmark::State& state) {
  ObjectPtr adder = std::make_shared<Adder>();
  std::vector<Variant> args{Variant(1)};
  for (auto _ : state) benchmark::DoNotOptimize(adder->Invoke("addvalue", args));
}
BENCHMARK(BM_LateBoundCallByName);

void BM_LateBoundCallById(benchmark::State& state) {
  ObjectPtr adder = std::make_shared<Adder>();
  const DispId id = adder->GetIdOfName("AddValue");
  std::vector<Variant> args{Variant(1)};
  for (auto _ : state) benchmark::DoNotOptimize(adder->Invoke(id, args));
}
BENCHMARK(BM_LateBoundCallById);

void BM_RaiseToFourSinks(benchmark::State& state) {
  EventSource events;
  int64_t calls = 0;
  for (int i = 0; i < 2; ++i) events.Advise([&calls](const EventCall&, Args) { ++calls; });
  for (int i = 0; i < 2; ++i) events.Advise(std::make_shared<Adder>());
  std::vector<Variant> args{Variant(1)};
  for (auto _ : state) events.Raise("AddValue", args);
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_RaiseToFourSinks);

}  // namespace

BENCHMARK_MAIN();
