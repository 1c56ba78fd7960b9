// RegQueryValueExA and RegSetValueExA beside the same point read and write
// done directly on SQLite, in the same run and with the same settings (WAL,
// synchronous=NORMAL, the hive's value table layout).
//
//   registry_bench --benchmark_min_time=1
// The ratios that matter (floor time / ours): SqliteSelect / Query, want
// >= 1.5, and SqliteUpsert / Set, want >= 0.95. On a shared machine add
// --benchmark_repetitions=8 --benchmark_enable_random_interleaving=true.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"

namespace {

namespace reg = platform::registry;

const std::string kText = std::string("C:\\Program Files\\Norvale\\Veltris") + '\0';

// One temporary root for the whole run, removed at exit.
const std::filesystem::path& BenchRoot() {
  static const std::filesystem::path root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "hearth-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(BenchRoot(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return root;
}

reg::HKEY BenchKey() {
  static const reg::HKEY key = [] {
    platform::SetMachineRoot(BenchRoot());
    reg::HKEY created = 0;
    if (reg::RegCreateKeyExA(reg::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5", 0, nullptr, 0,
                             reg::kKeyAllAccess, nullptr, &created, nullptr) != 0 ||
        reg::RegSetValueExA(created, "installdir", 0, reg::kRegSz, reinterpret_cast<const reg::BYTE*>(kText.data()),
                            static_cast<reg::DWORD>(kText.size())) != 0) {
      std::abort();
    }
    return created;
  }();
  return key;
}

// The baseline: a database of its own with the hive's value table.
sqlite3* BaselineDb() {
  static sqlite3* db = [] {
    sqlite3* opened = nullptr;
    sqlite3_open_v2((BenchRoot() / "baseline.db").c_str(), &opened,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_busy_timeout(opened, 15000);
    const char* setup =
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
        "CREATE TABLE IF NOT EXISTS hive_values(key INTEGER NOT NULL, fold TEXT NOT NULL, name TEXT NOT NULL,"
        " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold)) WITHOUT ROWID;"
        "INSERT OR REPLACE INTO hive_values VALUES(8, 'INSTALLDIR', 'installdir', 1,"
        " CAST('C:\\Program Files\\Norvale\\Veltris' || char(0) AS BLOB));";
    if (sqlite3_exec(opened, setup, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    return opened;
  }();
  return db;
}

void BM_RegQueryValueExA(benchmark::State& state) {
  reg::HKEY key = BenchKey();
  reg::BYTE buffer[256];
  for (auto _ : state) {
    reg::DWORD type = 0, size = sizeof(buffer);
    if (reg::RegQueryValueExA(key, "installdir", nullptr, &type, buffer, &size) != 0) {
      state.SkipWithError("query failed");
      break;
    }
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegQueryValueExA);

void BM_SqliteSelectBaseline(benchmark::State& state) {
  sqlite3* db = BaselineDb();
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v3(db, "SELECT type, data FROM hive_values WHERE key = ?1 AND fold = ?2", -1,
                     SQLITE_PREPARE_PERSISTENT, &select, nullptr);
  unsigned char buffer[256];
  for (auto _ : state) {
    sqlite3_bind_int64(select, 1, 8);
    sqlite3_bind_text(select, 2, "INSTALLDIR", 10, SQLITE_STATIC);
    if (sqlite3_step(select) != SQLITE_ROW) {
      state.SkipWithError("select failed");
      break;
    }
    int type = sqlite3_column_int(select, 0);
    int size = sqlite3_column_bytes(select, 1);
    std::memcpy(buffer, sqlite3_column_blob(select, 1), static_cast<size_t>(size));
    sqlite3_reset(select);
    benchmark::DoNotOptimize(type);
    benchmark::DoNotOptimize(buffer);
  }
  sqlite3_finalize(select);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SqliteSelectBaseline);

void BM_RegSetValueExA(benchmark::State& state) {
  reg::HKEY key = BenchKey();
  for (auto _ : state) {
    if (reg::RegSetValueExA(key, "installdir", 0, reg::kRegSz, reinterpret_cast<const reg::BYTE*>(kText.data()),
                            static_cast<reg::DWORD>(kText.size())) != 0) {
      state.SkipWithError("set failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegSetValueExA);

void BM_SqliteUpsertBaseline(benchmark::State& state) {
  sqlite3* db = BaselineDb();
  sqlite3_stmt* upsert = nullptr;
  sqlite3_prepare_v3(db,
                     "INSERT INTO hive_values(key, fold, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                     "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
                     -1, SQLITE_PREPARE_PERSISTENT, &upsert, nullptr);
  for (auto _ : state) {
    sqlite3_bind_int64(upsert, 1, 8);
    sqlite3_bind_text(upsert, 2, "INSTALLDIR", 10, SQLITE_STATIC);
    sqlite3_bind_text(upsert, 3, "installdir", 10, SQLITE_STATIC);
    sqlite3_bind_int64(upsert, 4, 1);
    sqlite3_bind_blob(upsert, 5, kText.data(), static_cast<int>(kText.size()), SQLITE_STATIC);
    if (sqlite3_step(upsert) != SQLITE_DONE) {  // autocommit: its own transaction
      state.SkipWithError("upsert failed");
      break;
    }
    sqlite3_reset(upsert);
  }
  sqlite3_finalize(upsert);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SqliteUpsertBaseline);

// For scale: a helper that opens the key by path, reads and closes each time.
void BM_OpenQueryCloseByPath(benchmark::State& state) {
  BenchKey();
  reg::BYTE buffer[256];
  for (auto _ : state) {
    reg::HKEY key = 0;
    reg::DWORD size = sizeof(buffer);
    if (reg::RegOpenKeyExA(reg::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5", 0, reg::kKeyRead, &key) != 0 ||
        reg::RegQueryValueExA(key, "installdir", nullptr, nullptr, buffer, &size) != 0) {
      state.SkipWithError("open or query failed");
      break;
    }
    reg::RegCloseKey(key);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenQueryCloseByPath);

}  // namespace

BENCHMARK_MAIN();
