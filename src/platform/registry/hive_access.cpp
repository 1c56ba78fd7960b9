#include "platform/registry/hive_access.h"

#include <pthread.h>

#include <memory>
#include <mutex>
#include <new>

#include "platform/registry/diagnostics.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry.h"
#include "platform/registry/sql_statement.h"
#include "platform/root/machine_root.h"
#include "platform/root/root_in_force.h"

namespace platform::registry {
namespace {

struct ProcessHive {
  std::mutex mutex;
  std::unique_ptr<Hive> hive;
  bool forked = false;  // this is a child that still holds its parent's connection
  std::string last_open_failure;  // reported once, not on every call
};

ProcessHive& Process() {
  // Never destroyed: calls may still arrive while the process exits.
  static ProcessHive* process = [] {
    auto* created = new ProcessHive;
    // Nobody is inside SQLite at a fork, and the child never uses the
    // connection it inherited (it closes it and opens its own).
    pthread_atfork([] { Process().mutex.lock(); }, [] { Process().mutex.unlock(); },
                   [] {
                     Process().forked = true;
                     Process().mutex.unlock();
                   });
    return created;
  }();
  return *process;
}

LONG CodeFor(const SqlError& error) {
  switch (error.primary_code()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrorBusy;
    case SQLITE_FULL:
      return kErrorDiskFull;
    case SQLITE_NOMEM:
      return kErrorOutOfMemory;
    case SQLITE_TOOBIG:
      return kErrorInvalidParameter;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return kErrorRegistryCorrupt;
    default:
      return kErrorRegistryIoFailed;
  }
}

}  // namespace

HiveLock::HiveLock() noexcept {
  ProcessHive& process = Process();
  process.mutex.lock();
  try {
    if (process.forked) {
      process.forked = false;
      if (process.hive) process.hive->DropStore();
    }
    if (!process.hive || !IsMachineRoot(process.hive->root())) {
      process.hive.reset();
      process.hive = std::make_unique<Hive>(MachineRoot());
    }
    const std::filesystem::path& root = process.hive->root();
    // The file is looked at only when the change counter says it may have
    // been replaced (or the last look is a second old).
    if (process.hive->StartLook() && process.hive->has_store() &&
        CurrentHiveFileId(root) != process.hive->file_id()) {
      // Another process moved the file aside (it found it damaged) and a new
      // hive took its name: what this connection writes nobody would see,
      // and its handles name keys of the old file.
      process.hive->AbandonStore();
      diagnostics_.push_back("Registry hive " + (root / kHiveFileName).string() +
                             " was replaced by another process; this process now uses the new hive and its "
                             "open keys were closed");
    }
    if (!process.hive->has_store()) {
      HiveFileId file;
      sqlite3* db = OpenHiveFile(root, &diagnostics_, &file);
      auto store = std::make_unique<HiveStore>(db);  // owns db from here, even if it throws
      // Handles name keys of the file they were opened on: they are kept only
      // when it is still that file (a forked child reconnecting).
      process.hive->AttachStore(std::move(store), file);
      process.last_open_failure.clear();
    }
    hive_ = process.hive.get();
  } catch (const SqlError& error) {
    open_error_ = CodeFor(error);
    if (open_error_ == kErrorRegistryCorrupt) open_error_ = kErrorRegistryIoFailed;
    std::string message = std::string("cannot open the registry hive: ") + error.what();
    if (message != process.last_open_failure) {
      process.last_open_failure = message;
      diagnostics_.push_back(message);
    }
  } catch (const std::bad_alloc&) {
    open_error_ = kErrorOutOfMemory;
  } catch (...) {
    open_error_ = kErrorRegistryIoFailed;
  }
}

HiveLock::~HiveLock() {
  std::vector<std::string> diagnostics;
  diagnostics.swap(diagnostics_);
  Process().mutex.unlock();
  for (const std::string& message : diagnostics) DeliverDiagnostic(message);
}

LONG HiveLock::Fail(const char* operation, std::exception_ptr error) noexcept {
  try {
    // Whatever the call had cached on its way may not match the file.
    hive_->ForgetCaches();
    std::rethrow_exception(error);
  } catch (const SqlError& sql) {
    try {
      diagnostics_.push_back(std::string(operation) + " failed on the registry hive: " + sql.what());
    } catch (...) {
    }
    // A damaged file is checked and, if need be, replaced at the next call.
    if (sql.IsDamage()) hive_->DropStore();
    return CodeFor(sql);
  } catch (const std::bad_alloc&) {
    return kErrorOutOfMemory;
  } catch (...) {
    return kErrorRegistryIoFailed;
  }
}

void ResetHiveForTesting() {
  ProcessHive& process = Process();
  std::lock_guard lock(process.mutex);
  process.hive.reset();
  process.last_open_failure.clear();
}

}  // namespace platform::registry
