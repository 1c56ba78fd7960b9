// The name resolver's speed: answers from its cache, and a burst of 1,000
// distinct lookups against a loopback DNS responder beside the same burst
// done with c-ares directly (same responder, same channel options, hosts file
// then DNS), so the ratio of the two shows what the resolver costs over
// c-ares. (The socket component reads the hosts file once where c-ares 1.18
// reads it for every name; its own burst shows that gain alone.)
#include <ares.h>
#include <benchmark/benchmark.h>
#include <netdb.h>
#include <poll.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dns/dns_resolver.h"
#include "platform/apartment/apartment.h"
#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"
#include "support/sock/dotted_address.h"
#include "support/sock/sock_component.h"
#include "support/sock/testing/loopback_dns_responder.h"
#include "typelib/host_resolved.h"

namespace {

constexpr int kBurst = 1000;

std::string BurstName(int i) {
  std::string name = std::to_string(i);
  name.insert(0, 1, 'h');
  name += ".bench";
  return name;
}

// One responder and one machine root for the whole run.
struct World {
  dns_testing::LoopbackDnsResponder dns;
  std::filesystem::path root;

  World() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "hearth-bench-XXXXXX").string();
    root = mkdtemp(tmpl.data());
    std::ofstream(root / "machine.conf") << "dns.servers = " << dns.ServerCsv() << "\n";
    platform::SetMachineRoot(root);
    for (int i = 0; i < kBurst; ++i) dns.AddHost(BurstName(i), {support::AddressToText(0x0a000000 + i)});
    dns.AddHost("cached.bench", {"10.1.0.1", "10.1.0.2"});
  }
  ~World() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

World& TheWorld() {
  static World world;
  return world;
}

class Counter : public typelib::IHostResolved {
 public:
  int answered = 0;
  int empty = 0;
  platform::Variant HostResolved(const std::string&, const std::string& ipaddress) override {
    ++answered;
    if (ipaddress.empty()) ++empty;
    return {};
  }
};

void BM_ResolverCachedAnswer(benchmark::State& state) {
  TheWorld();
  auto resolver = std::make_shared<dns::cDnsResolver>();
  if (resolver->GetAddress("cached.bench").empty()) state.SkipWithError("no answer to prime the cache");
  auto listener = std::make_shared<Counter>();
  std::string address;
  for (auto _ : state) {
    bool answered = resolver->ResolveHostname("cached.bench", address, listener);
    benchmark::DoNotOptimize(answered);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolverCachedAnswer);

void BM_ResolverCachedAddressToName(benchmark::State& state) {
  TheWorld();
  auto resolver = std::make_shared<dns::cDnsResolver>();
  resolver->GetAddress("cached.bench");
  std::string hostname;
  for (auto _ : state) {
    bool answered = resolver->ResolveAddress("10.1.0.2", hostname, nullptr);
    benchmark::DoNotOptimize(answered);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolverCachedAddressToName);

// Times rounds of one burst: `make` gives a fresh asker (untimed), which asks
// for the 1,000 names at once; this thread then pumps until all are answered.
template <class Make>
void RunBurst(benchmark::State& state, Make make) {
  TheWorld();
  auto apartment = platform::Apartment::Current();
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto round = make();
    state.ResumeTiming();
    for (int i = 0; i < kBurst; ++i) round->Ask(BurstName(i));
    apartment->WaitPumping([&] { return round->Answered() >= kBurst; }, std::chrono::seconds(30));
    failed += round->Failed() + (kBurst - round->Answered());
    state.PauseTiming();
    round.reset();
    state.ResumeTiming();
  }
  state.counters["failed"] = failed;
  state.SetItemsProcessed(state.iterations() * kBurst);
}

// The resolver with an empty cache.
struct ResolverRound {
  std::shared_ptr<dns::cDnsResolver> resolver = std::make_shared<dns::cDnsResolver>();
  std::shared_ptr<Counter> listener = std::make_shared<Counter>();
  void Ask(const std::string& name) {
    std::string address;
    resolver->ResolveHostname(name, address, listener);
  }
  int Answered() const { return listener->answered; }
  int Failed() const { return listener->empty; }
};

void BM_ResolverBurst(benchmark::State& state) {
  RunBurst(state, [] { return std::make_unique<ResolverRound>(); });
}
BENCHMARK(BM_ResolverBurst)->Unit(benchmark::kMillisecond)->UseRealTime();

// One line of the system log, as the resolver writes two per lookup: the
// share of the burst that is the log's.
void BM_SystemLogLine(benchmark::State& state) {
  TheWorld();
  for (auto _ : state) service::WriteSystemLog("Adding Pendinglookuphandle 1000");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SystemLogLine);

// The socket component alone, without the resolver's tables, log lines and
// listeners: what the hand-over between threads costs.
class CountingSink : public support::dwSockNotify {
 public:
  int answered = 0;
  int failed = 0;
  void HostResolved(int32_t, const support::HostEntry* entry) override {
    ++answered;
    if (!entry || entry->AddressCount() == 0) ++failed;
  }
  void AsyncError(int32_t, int32_t, const std::string&) override {
    ++answered;
    ++failed;
  }
};

struct SockRound {
  std::unique_ptr<support::SockComponent> sock = support::CreateSockComponent();
  std::shared_ptr<CountingSink> sink = std::make_shared<CountingSink>();
  SockRound() { sock->RegisterNotify(sink); }
  void Ask(const std::string& name) { sock->StartForwardLookup(name); }
  int Answered() const { return sink->answered; }
  int Failed() const { return sink->failed; }
};

void BM_SockComponentBurst(benchmark::State& state) {
  RunBurst(state, [] { return std::make_unique<SockRound>(); });
}
BENCHMARK(BM_SockComponentBurst)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same burst on a bare c-ares channel, driven by a poll loop.
struct DirectBurst {
  int answered = 0;
  int failed = 0;
};

void OnDirectHost(void* arg, int status, int, hostent* host) {
  auto* burst = static_cast<DirectBurst*>(arg);
  ++burst->answered;
  if (status != ARES_SUCCESS || host == nullptr || host->h_addr_list[0] == nullptr) ++burst->failed;
}

void BM_DirectCaresBurst(benchmark::State& state) {
  World& world = TheWorld();
  ares_library_init(ARES_LIB_INIT_ALL);
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ares_channel channel;
    ares_options options{};
    char lookups[] = "fb";
    options.lookups = lookups;
    options.socket_receive_buffer_size = 1 << 20;
    options.ndomains = 0;
    int mask = ARES_OPT_LOOKUPS | ARES_OPT_SOCK_RCVBUF | ARES_OPT_DOMAINS;
    if (ares_init_options(&channel, &options, mask) != ARES_SUCCESS ||
        ares_set_servers_ports_csv(channel, world.dns.ServerCsv().c_str()) != ARES_SUCCESS) {
      state.SkipWithError("c-ares setup failed");
      break;
    }
    DirectBurst burst;
    state.ResumeTiming();
    for (int i = 0; i < kBurst; ++i) ares_gethostbyname(channel, BurstName(i).c_str(), AF_INET, OnDirectHost, &burst);
    while (burst.answered < kBurst) {
      ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
      int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
      std::vector<pollfd> fds;
      for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
        short events = (ARES_GETSOCK_READABLE(bits, i) ? POLLIN : 0) | (ARES_GETSOCK_WRITABLE(bits, i) ? POLLOUT : 0);
        if (events) fds.push_back({sockets[i], events, 0});
      }
      timeval tv{};
      timeval* left = ares_timeout(channel, nullptr, &tv);
      int timeout_ms = left ? static_cast<int>(tv.tv_sec * 1000 + (tv.tv_usec + 999) / 1000) : 1000;
      poll(fds.data(), fds.size(), timeout_ms);
      bool any = false;
      for (const auto& fd : fds) {
        if (!fd.revents) continue;
        any = true;
        ares_process_fd(channel, (fd.revents & (POLLIN | POLLERR | POLLHUP)) ? fd.fd : ARES_SOCKET_BAD,
                        (fd.revents & POLLOUT) ? fd.fd : ARES_SOCKET_BAD);
      }
      if (!any) ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
    }
    failed += burst.failed;
    state.PauseTiming();
    ares_destroy(channel);
    state.ResumeTiming();
  }
  state.counters["failed"] = failed;
  state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_DirectCaresBurst)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
