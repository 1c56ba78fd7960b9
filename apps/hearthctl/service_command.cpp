// The "service" commands: stop, shutdown and control N, sent to the running
// hearthd through its control socket.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "command.h"
#include "platform/root/machine_root.h"
#include "service/host/control_protocol.h"
#include "service/host/unix_socket_address.h"

namespace hearthctl {
namespace {

namespace control = service::control;

constexpr int kDefaultWaitSeconds = 120;
constexpr char kStillRunning[] = "10000";

const GroupRegistration kGroup{
    "service", "send requests to the running service host (hearthd)",
    "The requests travel through ROOT/run/hearthd.sock. Each waits for the service's answer: a stop\n"
    "answers once the stop work is done; a request that arrives while a stop is running is counted\n"
    "and answered at once (10000), and the ninth such request stops the service outright.\n"
    "--wait SECONDS limits the wait for the answer (default 120)."};

// The reply line of hearthd, or nullopt with *error set.
std::optional<std::string> Send(const std::string& request, int wait_seconds, std::string* error) {
  const std::string path = control::SocketPath().string();
  const std::string not_running = "hearthd is not running on " + platform::MachineRoot().string();
  control::UnixSocketAddress address(path);
  if (!address.valid()) {
    *error = not_running;
    return std::nullopt;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("cannot make a socket: ") + std::strerror(errno);
    return std::nullopt;
  }
  if (::connect(fd, address.get(), address.size()) != 0) {
    const int reason = errno;
    ::close(fd);
    *error = (reason == ENOENT || reason == ECONNREFUSED) ? not_running
                                                          : "cannot reach hearthd at " + path + ": " + std::strerror(reason);
    return std::nullopt;
  }
  size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      *error = "hearthd closed the connection before taking the request";
      return std::nullopt;
    }
    sent += static_cast<size_t>(n);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds);
  std::string reply;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::close(fd);
      *error = "no answer within " + std::to_string(wait_seconds) + " seconds";
      return std::nullopt;
    }
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) continue;
    char buffer[512];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.append(buffer, static_cast<size_t>(n));
    if (reply.find('\n') != std::string::npos || reply.size() > 4096) break;
  }
  ::close(fd);
  const size_t end = reply.find('\n');
  if (end == std::string::npos) {
    *error = "hearthd closed the connection without an answer";
    return std::nullopt;
  }
  reply.resize(end);
  return reply;
}

// Sends the request and prints what the answer means.
int Request(const Command& self, const Arguments& args, Io& io, size_t positional) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, positional, positional, {"--wait"}, &parsed, io, &exit_code)) {
    return exit_code;
  }
  int wait_seconds = kDefaultWaitSeconds;
  if (parsed.Has("--wait")) {
    const std::string text = parsed.Option("--wait");
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > 86400) {
      return UsageError(io, self, "--wait needs a number of seconds from 1 to 86400");
    }
    wait_seconds = static_cast<int>(value);
  }
  std::string error;
  control::Request request;
  if (self.name == "stop") {
    request.kind = control::RequestKind::kStop;
  } else if (self.name == "shutdown") {
    request.kind = control::RequestKind::kShutdown;
  } else {
    std::string line = "control " + parsed.positional[0];
    std::optional<control::Request> parsed_request = control::ParseRequest(line, &error);
    if (!parsed_request) return UsageError(io, self, error);
    request = *parsed_request;
  }

  std::optional<std::string> reply = Send(control::FormatRequest(request), wait_seconds, &error);
  if (!reply) return Report(io, self, error, kExitFailure);
  if (reply->rfind("ERROR ", 0) == 0) return Report(io, self, reply->substr(6), kExitFailure);
  if (reply->rfind("OK", 0) != 0) return Report(io, self, "unexpected answer: " + *reply, kExitFailure);

  const std::string answer = reply->size() > 3 ? reply->substr(3) : std::string();
  if (request.kind == control::RequestKind::kUserControlCode) {
    io.out << "control code " << request.code << " delivered\n";
  } else if (answer.rfind(kStillRunning, 0) == 0) {
    io.out << "a stop is already running; request counted (" << answer << ")\n";
  } else {
    io.out << "the service has stopped (" << answer << ")\n";
  }
  return kExitOk;
}

const CommandRegistration kStop{{
    .group = "service",
    .name = "stop",
    .arguments = "[--wait SECONDS]",
    .summary = "stop the service (as SIGTERM does)",
    .details = "Prints \"the service has stopped (0)\", or \"a stop is already running; request counted (10000)\".",
    .run = [](const Command& self, const Arguments& args, Io& io) { return Request(self, args, io, 0); }}};

const CommandRegistration kShutdown{{
    .group = "service",
    .name = "shutdown",
    .arguments = "[--wait SECONDS]",
    .summary = "shut the service down as at a system shutdown (as SIGPWR does)",
    .details = "The answer shows busy=True while an earlier stop or shutdown is still running.",
    .run = [](const Command& self, const Arguments& args, Io& io) { return Request(self, args, io, 0); }}};

const CommandRegistration kControl{{
    .group = "service",
    .name = "control",
    .arguments = "CODE [--wait SECONDS]",
    .summary = "send a user control code (142 stops the service)",
    .details = "CODE is a whole number from -32768 to 32767. The service logs every code; 142 stops it\n"
               "and then ends the host.",
    .run = [](const Command& self, const Arguments& args, Io& io) { return Request(self, args, io, 1); }}};

}  // namespace
}  // namespace hearthctl
