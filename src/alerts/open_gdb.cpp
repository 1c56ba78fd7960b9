// Opening and closing the thread's connection: OpenGDB with the size test,
// the table creators and the rebuild of a file that fails the probe.
#include <filesystem>
#include <system_error>

#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "contracts/imdb_component.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"

namespace alerts {
namespace {

using platform::Err;
using platform::Step;

void CreateAlertTable() {
  std::string statement = std::string(kCreateAlertsPart1) + std::string(kCreateAlertsPart2) +
                          std::string(kCreateAlertsPart3);
  if (!Step([&] { Connection().Execute(statement); })) Log("CreateAlertTable: " + Err::Description());
}

void CreateLogTables() {
  bool entries = Step([] { Connection().Execute(kCreateLogEntries); });
  bool settings = Step([] { Connection().Execute(kCreateLogSettings); });
  if (!entries || !settings) Log("CreateLogTables: " + Err::Description());
}

// Moves the damaged file aside under a dated name, so that what it holds can
// still be looked at; only when that fails is it deleted.
void KeepDamagedFile(const std::string& path) {
  std::string suffix;
  Step([&] { suffix = ".damaged-" + platform::FormatDate(platform::Now(), "yyyymmdd-hhnnss"); });
  const std::string aside = contracts::MoveImdbFileAside(path, suffix);
  if (!aside.empty()) {
    Log("OpenGDB - Damaged IMDB file kept as '" + aside + "'");
    return;
  }
  Log("OpenGDB - Could not move the damaged IMDB file aside; removing " + path);
  contracts::RemoveImdbFile(path);
}

}  // namespace

void OpenGDB() {
  Err::Clear();
  AlertState& state = State();
  state.database_path = AlertDatabasePath();
  const std::string path = state.database_path;
  Log("OpenGDB. File is '" + path + "'");

  bool create_tables = false;
  bool remove_file = false;
  Step([&] {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      create_tables = true;
    } else if (std::filesystem::file_size(path) > static_cast<uintmax_t>(kMaxDatabaseBytes)) {
      remove_file = true;
      create_tables = true;
    }
  });
  if (remove_file) {
    Log("OpenGDB - Removing IMDB file " + path);
    contracts::RemoveImdbFile(path);
  }

  Step([&] {
    contracts::RegisterImdbClass();
    state.connection = platform::com::QueryInterface<contracts::ImdbComponent>(platform::com::CreateObject(contracts::kImdbProgId));
    if (!state.connection) platform::RaiseError(platform::kErrCannotCreateObject);
  });
  Step([] { Connection().SetMaxSize(kMaxDatabaseBytes); });
  Step([&] { Connection().Open(path); });

  if (create_tables) {
    Log("OpenGDB - creating new tables");
    CreateAlertTable();
    CreateLogTables();
  } else if (!state.rebuild_guard) {
    state.rebuild_guard = true;
    // Only a file the engine calls damaged (or that is not a store) is
    // rebuilt; one that cannot be opened now (no descriptors, an I/O error,
    // a lock held too long) is left alone and the open reports failure.
    if (!VerifyAlertStore() && state.probe_found_damage) {
      Log("DB Corruption detected. Rebuilding");
      Step([] { Connection().Close(); });
      state.connection.reset();
      KeepDamagedFile(path);
      OpenGDB();
    }
    state.rebuild_guard = false;
  }

  if (Err::Number() > 0) {
    Log("OpenGDB - Could not open IMDB '" + path + "'");
  } else {
    Log("OpenGDB - Successfully opened IMDB '" + path + "'");
  }
  Err::Clear();
}

void CloseGDB() {
  Log("CloseGDB - closing IMDB");
  AlertState& state = State();
  if (state.connection) state.connection->Close();
  state.connection.reset();
  Err::Clear();
}

}  // namespace alerts
