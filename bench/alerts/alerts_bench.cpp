// The store's operations beside the same row work done with plain prepared
// SQLite statements on a file with the same schema and settings (no probes,
// no component). At the end the ratio baseline time / operation time is
// printed for each pair: 1.0 means no overhead, 0.5 twice as slow (from the
// means when --benchmark_repetitions is given).
//   alerts_bench --benchmark_min_time=1
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "alerts/mod_alert.h"
#include "platform/basic/date_time.h"
#include "platform/root/machine_root.h"
#include "support/imdb/imdb.h"

namespace {

constexpr int kStoreSize = 10000;
// Posting benchmarks empty the table this often, so it stays far below the
// size cap however many iterations run.
constexpr int64_t kClearEvery = 4096;

std::filesystem::path MakeRoot(const char* name) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string("hearth-bench-") + name + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// A root with the store's tables, for the modAlert side.
struct StoreRoot {
  std::filesystem::path root = MakeRoot("store");
  StoreRoot() {
    platform::SetMachineRoot(root);
    alerts::CheckIMDBObject();
  }
  ~StoreRoot() {
    alerts::CloseGDB();
    std::filesystem::remove_all(root);
  }
};

// A database file with the same tables, for the plain SQLite side.
class PlainStore {
 public:
  PlainStore() {
    path_ = (root_ / "imdb.bin").string();
    {
      // The same schema, made by the component's translation.
      support::Imdb maker;
      maker.Open(path_);
      maker.Execute(
          "CREATE TABLE SHARED Alerts (AlertIndex COUNTER PRIMARY, Store VARCHAR(16) KEY, AlertID VARCHAR(16), "
          "Severity SMALLINT, Summary TEXT, Description VARCHAR(128), AlertKey VARCHAR(16), ActionIDs TEXT, "
          "UserProc BOOL, SysProc BOOL, EventDateTime VARCHAR(20), ShowPrivOnly BOOL, Tag VARCHAR(8))");
    }
    sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_busy_timeout(db_, 10000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    insert_ = Prepare(
        "INSERT INTO Alerts (Store, AlertID, Severity, Summary, Description, AlertKey, ActionIDs, UserProc, SysProc, "
        "EventDateTime, ShowPrivOnly, Tag) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    list_ = Prepare("SELECT * FROM Alerts WHERE Store=? AND UserProc=0 order by EventDateTime desc");
    select_one_ = Prepare("SELECT * FROM Alerts WHERE AlertIndex=?");
    // The columns the store writes: Severity (even unchanged) and the time,
    // and the description only when something was appended to it.
    update_ = Prepare("UPDATE Alerts SET Severity=?, Description=?, EventDateTime=? WHERE AlertIndex=?");
    update_kept_ = Prepare("UPDATE Alerts SET Severity=?, EventDateTime=? WHERE AlertIndex=?");
    begin_ = Prepare("BEGIN IMMEDIATE");
    commit_ = Prepare("COMMIT");
  }
  ~PlainStore() {
    for (sqlite3_stmt* stmt : {insert_, list_, select_one_, update_, update_kept_, begin_, commit_}) {
      sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db_);
    std::filesystem::remove_all(root_);
  }

  void Exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

  int64_t Post(const std::string& store, const std::string& description) {
    std::string when = platform::FormatDate(platform::Now() + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
    sqlite3_bind_text(insert_, 1, store.data(), static_cast<int>(store.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 2, "EV1", -1, SQLITE_STATIC);
    sqlite3_bind_int(insert_, 3, 10);
    sqlite3_bind_text(insert_, 4, "Something happened", -1, SQLITE_STATIC);
    sqlite3_bind_text(insert_, 5, description.data(), static_cast<int>(description.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 6, "EV1", -1, SQLITE_STATIC);
    sqlite3_bind_text(insert_, 7, "A1", -1, SQLITE_STATIC);
    sqlite3_bind_int(insert_, 8, 0);
    sqlite3_bind_int(insert_, 9, 0);
    sqlite3_bind_text(insert_, 10, when.data(), static_cast<int>(when.size()), SQLITE_STATIC);
    sqlite3_bind_int(insert_, 11, 0);
    sqlite3_bind_text(insert_, 12, "", -1, SQLITE_STATIC);
    if (sqlite3_step(insert_) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_reset(insert_);
    return sqlite3_last_insert_rowid(db_);
  }

  std::vector<int32_t> List(const std::string& store) {
    std::vector<int32_t> indices;
    sqlite3_bind_text(list_, 1, store.data(), static_cast<int>(store.size()), SQLITE_STATIC);
    while (sqlite3_step(list_) == SQLITE_ROW) indices.push_back(sqlite3_column_int(list_, 0));
    sqlite3_reset(list_);
    return indices;
  }

  // The read-modify-write of UpdateAlert: tag test, severity cap,
  // description append test, new time; one transaction, the same columns
  // written. The time text is made once a second, as the store makes it.
  bool Update(int32_t index, int delta, const std::string& add) {
    sqlite3_step(begin_);
    sqlite3_reset(begin_);
    sqlite3_bind_int(select_one_, 1, index);
    bool written = false;
    if (sqlite3_step(select_one_) == SQLITE_ROW) {
      std::string tag = reinterpret_cast<const char*>(sqlite3_column_text(select_one_, 12));
      if (tag != "(DELETED)") {
        int severity = sqlite3_column_int(select_one_, 3);
        if (severity <= 100 - delta) severity += delta;
        std::string description = reinterpret_cast<const char*>(sqlite3_column_text(select_one_, 5));
        const bool appended = description.find(add) == std::string::npos;
        if (appended) description += add;
        const std::string& when = TimeText();
        sqlite3_stmt* update = appended ? update_ : update_kept_;
        int column = 1;
        sqlite3_bind_int(update, column++, severity);
        if (appended) {
          sqlite3_bind_text(update, column++, description.data(), static_cast<int>(description.size()), SQLITE_STATIC);
        }
        sqlite3_bind_text(update, column++, when.data(), static_cast<int>(when.size()), SQLITE_STATIC);
        sqlite3_bind_int(update, column, index);
        written = sqlite3_step(update) == SQLITE_DONE && sqlite3_changes(db_) == 1;
        sqlite3_reset(update);
      }
    }
    sqlite3_reset(select_one_);
    sqlite3_step(commit_);
    sqlite3_reset(commit_);
    return written;
  }

 private:
  const std::string& TimeText() {
    const std::time_t now = std::time(nullptr);
    if (now != time_second_) {
      time_text_ = platform::FormatDate(platform::Now() + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
      time_second_ = now;
    }
    return time_text_;
  }

  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
    return stmt;
  }

  std::filesystem::path root_ = MakeRoot("plain");
  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* list_ = nullptr;
  sqlite3_stmt* select_one_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* update_kept_ = nullptr;
  std::time_t time_second_ = -1;
  std::string time_text_;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
};

const std::string kDescription = "Blocked an attempt to reach port 80 from 10.0.0.1";

void PostOne(const std::string& store) {
  int32_t index = 0;
  double when = alerts::kNoEventTime;
  if (!alerts::PostAlert(store, 10, "Something happened", kDescription, "EV1", "A1", false, index, false, when, "")) {
    throw std::runtime_error("PostAlert failed");
  }
}

void BM_PostAlert(benchmark::State& state) {
  StoreRoot store;
  int64_t n = 0;
  for (auto _ : state) {
    PostOne("Bench");
    if (++n % kClearEvery == 0) {
      state.PauseTiming();
      support::Imdb direct;
      direct.Open(alerts::AlertDatabasePath());
      direct.Execute("DELETE FROM Alerts");
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_PostAlert)->Unit(benchmark::kMicrosecond);

void BM_PostAlert_Baseline(benchmark::State& state) {
  PlainStore plain;
  int64_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(plain.Post("Bench", kDescription));
    if (++n % kClearEvery == 0) {
      state.PauseTiming();
      plain.Exec("DELETE FROM Alerts");
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_PostAlert_Baseline)->Unit(benchmark::kMicrosecond);

void BM_GetAlertIndices(benchmark::State& state) {
  StoreRoot store;
  for (int i = 0; i < kStoreSize; ++i) PostOne("Bench");
  platform::Variant list;
  for (auto _ : state) {
    if (alerts::GetAlertIndices("Bench", list, false, "") != kStoreSize) throw std::runtime_error("short list");
  }
}
BENCHMARK(BM_GetAlertIndices)->Unit(benchmark::kMillisecond);

void BM_GetAlertIndices_Baseline(benchmark::State& state) {
  PlainStore plain;
  for (int i = 0; i < kStoreSize; ++i) plain.Post("Bench", kDescription);
  for (auto _ : state) {
    std::vector<int32_t> list = plain.List("Bench");
    if (list.size() != kStoreSize) throw std::runtime_error("short list");
    benchmark::DoNotOptimize(list.data());
  }
}
BENCHMARK(BM_GetAlertIndices_Baseline)->Unit(benchmark::kMillisecond);

// Updates cycle over 1,000 alerts; the appended text is already contained,
// so rows keep their size and every update writes the new time.
void BM_UpdateAlert(benchmark::State& state) {
  StoreRoot store;
  for (int i = 0; i < 1000; ++i) PostOne("Bench");
  int32_t index = 0;
  for (auto _ : state) {
    if (!alerts::UpdateAlert(index % 1000 + 1, 0, "port 80", false)) throw std::runtime_error("UpdateAlert failed");
    ++index;
  }
}
BENCHMARK(BM_UpdateAlert)->Unit(benchmark::kMicrosecond);

void BM_UpdateAlert_Baseline(benchmark::State& state) {
  PlainStore plain;
  for (int i = 0; i < 1000; ++i) plain.Post("Bench", kDescription);
  int32_t index = 0;
  for (auto _ : state) {
    if (!plain.Update(index % 1000 + 1, 0, "port 80")) throw std::runtime_error("update failed");
    ++index;
  }
}
BENCHMARK(BM_UpdateAlert_Baseline)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then baseline / operation for each pair, by
// wall-clock time and by CPU time (the steadier of the two on a busy
// machine).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // One run, or the mean of the repetitions when they were asked for.
      const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if ((mean || single) && run.iterations > 0) {
        times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [name, time] : times_) {
      auto baseline = times_.find(name + "_Baseline");
      if (baseline == times_.end() || time.first <= 0 || time.second <= 0) continue;
      std::printf("%-20s baseline / operation: %.2fx wall, %.2fx CPU\n", name.c_str(),
                  baseline->second.first / time.first, baseline->second.second / time.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  // A fixed zone, so both sides format the same times.
  setenv("TZ", "<-03>3", 1);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
