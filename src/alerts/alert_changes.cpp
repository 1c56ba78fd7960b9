#include "alerts/alert_changes.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace alerts {
namespace {

struct Listeners {
  std::mutex mutex;
  uint64_t next_id = 1;
  std::map<uint64_t, std::shared_ptr<const AlertChangeListener>> by_id;
};

Listeners& TheListeners() {
  static Listeners* listeners = new Listeners();  // never destroyed: threads may outlive static destruction
  return *listeners;
}

}  // namespace

uint64_t ListenToAlertChanges(AlertChangeListener listener) {
  Listeners& all = TheListeners();
  std::lock_guard lock(all.mutex);
  const uint64_t id = all.next_id++;
  all.by_id.emplace(id, std::make_shared<const AlertChangeListener>(std::move(listener)));
  return id;
}

void StopListeningToAlertChanges(uint64_t id) {
  Listeners& all = TheListeners();
  std::lock_guard lock(all.mutex);
  all.by_id.erase(id);
}

void TellAlertChanged(int32_t alert_index, std::string_view change) {
  std::vector<std::shared_ptr<const AlertChangeListener>> listeners;
  {
    Listeners& all = TheListeners();
    std::lock_guard lock(all.mutex);
    for (const auto& [id, listener] : all.by_id) listeners.push_back(listener);
  }
  // Called without the lock: a listener may stop listening meanwhile.
  for (const auto& listener : listeners) (*listener)(alert_index, change);
}

}  // namespace alerts
