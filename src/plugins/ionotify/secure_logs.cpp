#include "plugins/ionotify/secure_logs.h"

#include <utility>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "plugins/ionotify/xml_text.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

struct OpenLog {
  std::string key;  // the name in lower case
  std::shared_ptr<contracts::SecureLog> log;
};

std::vector<OpenLog>& SecureLogs() {
  thread_local std::vector<OpenLog> logs;
  return logs;
}

}  // namespace

std::shared_ptr<contracts::SecureLog> FindOrOpenSecureLog(const std::string& name) {
  const std::string key = platform::LCase(name);
  for (const OpenLog& open : SecureLogs()) {
    if (open.key == key) return open.log;
  }
  auto log = contracts::CreateSupportObject<contracts::SecureLog>();
  if (log == nullptr) platform::RaiseError(platform::kErrCannotCreateObject, {}, "SecureLogs");
  log->Open(name, contracts::kSecureLogIdentifier);
  SecureLogs().push_back({key, log});
  return log;
}

void AppendSecureLogEntry(const std::string& name, const std::string& entry) {
  if (name.empty() || entry.empty()) return;
  FindOrOpenSecureLog(name)->Append(entry);
}

void ClearSecureLog(const std::string& name) {
  std::shared_ptr<contracts::SecureLog> log = FindOrOpenSecureLog(name);
  service::WriteSystemLog("Clearing secure log with name '" + name + "'");
  log->Clear();
}

void SyncSecureLogs() {
  // A copy: a Sync that reaches back here cannot disturb the walk.
  std::vector<OpenLog> logs = SecureLogs();
  for (const OpenLog& open : logs) platform::Quietly([&] { open.log->Sync(); });
}

std::string SecureLogEntry(const std::string& alert_id, const std::string& when, const std::string& user,
                           const std::string& referer, const std::string& url) {
  return "<entry alertid='" + EscapeXmlAttribute(alert_id) + "' when='" + EscapeXmlAttribute(when) + "' " +
         "userid='" + EscapeXmlAttribute(user) + "' referer='" + EscapeXmlAttribute(referer) + "' >" +
         EscapeXmlText(url) + "</entry>";
}

}  // namespace plugins::ionotify
