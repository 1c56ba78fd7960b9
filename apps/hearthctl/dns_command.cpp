// The "dns" commands: name resolution through the system's resolver.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bus_client.h"
#include "command.h"
#include "dns/dns_resolver.h"
#include "platform/apartment/apartment.h"
#include "support/sock/dotted_address.h"
#include "typelib/host_resolved.h"

namespace hearthctl {
namespace {

constexpr long kDefaultTimeoutSeconds = 30;

// Keeps the answer to one of the texts asked about.
class Answer : public typelib::IHostResolved {
 public:
  bool heard = false;
  std::string hostname;
  std::string ipaddress;

  platform::Variant HostResolved(const std::string& name, const std::string& addresses) override {
    heard = true;
    hostname = name;
    ipaddress = addresses;
    return {};
  }
};

int DnsResolve(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--via-service"}, {"--timeout"}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.empty()) return UsageError(io, self, "name or address missing");
  long timeout_seconds = kDefaultTimeoutSeconds;
  if (parsed.Has("--timeout")) {
    const std::string text = parsed.Option("--timeout");
    size_t used = 0;
    try {
      timeout_seconds = std::stol(text, &used);
    } catch (...) {
      used = 0;
    }
    if (used != text.size() || timeout_seconds <= 0) return UsageError(io, self, "bad --timeout " + text);
  }
  if (parsed.Has("--via-service")) return ResolveViaService(self, parsed.positional, timeout_seconds, io);

  // Every question is asked at once; the answers come as this thread pumps.
  auto resolver = std::make_shared<dns::cDnsResolver>();
  std::vector<std::shared_ptr<Answer>> answers;
  for (const std::string& text : parsed.positional) {
    auto answer = std::make_shared<Answer>();
    answers.push_back(answer);
    std::string unused;
    if (support::TextToAddress(text) != support::kInvalidAddress) {
      resolver->ResolveAddress(text, unused, answer);
    } else {
      resolver->ResolveHostname(text, unused, answer);
    }
  }
  platform::Apartment::Current()->WaitPumping(
      [&] {
        for (const auto& a : answers) {
          if (!a->heard) return false;
        }
        return true;
      },
      std::chrono::seconds(timeout_seconds));

  int exit_code = kExitOk;
  bool unanswered = false;
  for (size_t i = 0; i < answers.size(); ++i) {
    const Answer& a = *answers[i];
    const std::string& asked = parsed.positional[i];
    if (!a.heard) {
      unanswered = true;
      exit_code = Report(io, self, "no answer for \"" + asked + "\" within " + std::to_string(timeout_seconds) + " s",
                         kExitFailure);
    } else if (a.hostname.empty() || a.ipaddress.empty()) {
      exit_code = Report(io, self, "\"" + asked + "\" not found", kExitFailure);
    } else {
      io.out << a.hostname << " " << a.ipaddress << "\n";
    }
  }
  if (unanswered) resolver->BeforeTerminate();
  return exit_code;
}

const GroupRegistration kGroup{"dns", "resolve host names and addresses"};

const CommandRegistration kResolve{{
    .group = "dns",
    .name = "resolve",
    .arguments = "[--timeout SECONDS] [--via-service] NAME|ADDRESS [NAME|ADDRESS ...]",
    .summary = "look up names and addresses, one line each: the name, then its addresses",
    .details = "Names are looked up in the hosts file, then in DNS (the servers of the machine configuration\n"
               "value \"dns.servers\", else those of /etc/resolv.conf); a dotted address is looked up the\n"
               "other way round. All are asked at once; the answers print in the order asked. Exits 1 when\n"
               "any is not found or not answered within the timeout (30 seconds unless given).\n"
               "--via-service asks the running hearthd's resolver over the bus instead (one at a time).",
    .run = DnsResolve,
}};

}  // namespace
}  // namespace hearthctl
