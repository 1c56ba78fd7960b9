// The secure log members a console needs beyond the "getsecurelog" action:
// the logs with their counts and whether each verifies, a log's entries read
// without marking them, marking them read, and verification with what it
// found. Listing and verifying read the files as hearthctl does and change
// nothing; only marking goes through the thread's open log.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/secure_log.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/secure_logs.h"
#include "support/securelog/log_format.h"
#include "support/securelog/seal_keys.h"
#include "support/securelog/secure_log_reading.h"
#include "support/securelog/verify_findings.h"

namespace plugins::ionotify {
namespace {

using platform::Variant;
using platform::VarType;

int32_t Clamped(uint64_t count) {
  return static_cast<int32_t>(std::min<uint64_t>(count, std::numeric_limits<int32_t>::max()));
}

Variant Texts(std::vector<std::string> texts) {
  std::vector<Variant> items;
  items.reserve(texts.size());
  for (std::string& text : texts) items.emplace_back(std::move(text));
  return Variant::Array(std::move(items), 0, VarType::kString);
}

Variant Numbers(const std::vector<int32_t>& numbers) {
  std::vector<Variant> items(numbers.begin(), numbers.end());
  return Variant::Array(std::move(items), 0, VarType::kLong);
}

// Only logs that exist: opening an unknown name would create it.
bool LogExists(const std::string& folder, const std::string& name) {
  const std::vector<std::string> names = support::SecureLogNames(folder);
  return std::find(names.begin(), names.end(), platform::LCase(name)) != names.end();
}

// The entries of a GetEntries text, each followed by CR LF (the writer
// escapes CR inside an entry, so CR LF never falls within one).
std::vector<std::string> SplitEntries(std::string_view text) {
  std::vector<std::string> entries;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    entries.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return entries;
}

// The newest entries whose text fits in one answer: a bus message may carry
// 32 MiB, and the bus daemon drops a connection that sends a larger one.
constexpr size_t kAnswerBudget = 16u << 20;

class NewestEntries {
 public:
  void Add(std::string_view entry) {
    ++seen_;
    entries_.emplace_back(entry);
    bytes_ += entry.size();
    while (bytes_ > kAnswerBudget && entries_.size() > 1) {
      bytes_ -= entries_.front().size();
      entries_.pop_front();
    }
    if (bytes_ > kAnswerBudget) {  // one entry larger than an answer: not answered
      bytes_ = 0;
      entries_.clear();
    }
  }
  uint64_t seen() const { return seen_; }
  size_t kept() const { return entries_.size(); }
  std::vector<std::string> Take() { return {std::make_move_iterator(entries_.begin()), std::make_move_iterator(entries_.end())}; }

 private:
  std::deque<std::string> entries_;
  size_t bytes_ = 0;
  uint64_t seen_ = 0;
};

std::string CannotRead(const std::string& why) { return "it cannot be read (" + why + ")"; }

// -1, with the reason as the one entry: the log is there but could not be read.
int32_t Unreadable(const std::string& name, Variant& Entry) {
  Entry = Texts({"secure log '" + support::securelog::FoldedLogName(name) + "': " +
                 CannotRead(platform::Err::Description())});
  platform::Err::Clear();
  return -1;
}

}  // namespace

int32_t cIoNotify::IoGetSecureLogs(Variant& LogName, Variant& Entries, Variant& Unread, Variant& State,
                                   Variant& Problem) {
  int32_t count = 0;
  platform::Quietly([&] {
    const std::string folder = contracts::SecureLogFolder();
    std::vector<std::string> names, states, problems;
    std::vector<int32_t> entries, unread;
    for (const std::string& name : support::SecureLogNames(folder)) {
      // One log that cannot be read is listed as such; it never hides the others.
      support::SecureLogInspection log;
      if (!platform::Step([&] { log = support::InspectSecureLog(folder, name); })) {
        log = {.name = name, .exists = true, .problems = {CannotRead(platform::Err::Description())}};
        platform::Err::Clear();
      }
      if (!log.exists) continue;  // removed since the folder was read
      names.push_back(log.name);
      entries.push_back(Clamped(log.entries));
      unread.push_back(Clamped(log.entries - std::min(log.entries, log.read)));
      states.emplace_back(support::VerificationState(log));
      problems.push_back(log.problems.empty() ? std::string() : log.problems.front());
    }
    count = static_cast<int32_t>(names.size());
    LogName = Texts(std::move(names));
    Entries = Numbers(entries);
    Unread = Numbers(unread);
    State = Texts(std::move(states));
    Problem = Texts(std::move(problems));
  });
  return count;
}

int32_t cIoNotify::IoGetSecureLogEntries(const std::string& LogName, Variant& Entry, int32_t& Unread) {
  NewestEntries entries;
  support::SecureLogInspection log;
  const bool read = platform::Step([&] {
    log = support::InspectSecureLog(contracts::SecureLogFolder(), LogName, {}, support::EntriesWanted::kAll,
                                    [&entries](std::string_view entry) { entries.Add(entry); });
  });
  if (!read) return Unreadable(LogName, Entry);
  if (!log.exists) return 0;
  // Counted from the end: a damaged log hands over fewer entries than it
  // numbers, and an answer holds only the newest.
  Unread = std::min(Clamped(entries.kept()), Clamped(log.entries - std::min(log.entries, log.read)));
  Entry = Texts(entries.Take());
  return Clamped(entries.seen());
}

int32_t cIoNotify::IoMarkSecureLogRead(const std::string& LogName, Variant& Entry) {
  int32_t count = 0;
  const bool marked = platform::Step([&] {
    if (LogName.empty() || !LogExists(contracts::SecureLogFolder(), LogName)) return;
    // The entries marked are the answer: one appended after the caller last
    // looked is shown to it rather than marked unseen.
    NewestEntries entries;
    for (const std::string& entry : SplitEntries(FindOrOpenSecureLog(LogName)->GetEntries(true, true))) {
      entries.Add(entry);
    }
    count = Clamped(entries.seen());
    Entry = Texts(entries.Take());
  });
  if (!marked) return Unreadable(LogName, Entry);
  return count;
}

bool cIoNotify::IoVerifySecureLog(const std::string& LogName, const std::string& VerificationKey,
                                  Variant& Findings) {
  bool verifies = false;
  const bool read = platform::Step([&] {
    std::optional<support::securelog::VerificationKey> key;
    if (!VerificationKey.empty()) {
      key = support::securelog::ParseVerificationKey(VerificationKey);
      if (!key) {
        Findings = Texts({"the verification key is not one setup-keys printed"});
        return;
      }
    }
    const std::string folder = contracts::SecureLogFolder();
    const support::SecureLogInspection log =
        support::InspectSecureLog(folder, LogName, {}, support::EntriesWanted::kNone, {}, key ? &*key : nullptr);
    if (!log.exists) {
      Findings = Texts({"no secure log named '" + LogName + "'"});
      return;
    }
    Findings = Texts(support::VerifyFindings(log, key.has_value()));
    verifies = log.problems.empty();
  });
  if (!read) {
    // What could not be read does not verify, and the caller hears why.
    verifies = false;
    Findings = Texts({"secure log '" + support::securelog::FoldedLogName(LogName) +
                      "' does not verify: " + CannotRead(platform::Err::Description())});
    platform::Err::Clear();
  }
  return verifies;
}

}  // namespace plugins::ionotify
