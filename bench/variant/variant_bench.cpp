// Costs of the Basic runtime's everyday operations, each beside the plain
// C++ operation it stands in for.
#include <benchmark/benchmark.h>

#include <charconv>
#include <ctime>
#include <string>
#include <vector>

#include "platform/basic/compare.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/variant.h"

namespace {

using platform::Variant;

void BM_CopyLongVariant(benchmark::State& state) {
  Variant value = 42;
  for (auto _ : state) {
    Variant copy = value;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyLongVariant);

void BM_CopyShortStdString(benchmark::State& state) {
  std::string value = "sys.apppath";
  for (auto _ : state) {
    std::string copy = value;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyShortStdString);

void BM_CopyShortTextVariant(benchmark::State& state) {
  Variant value = "sys.apppath";
  for (auto _ : state) {
    Variant copy = value;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyShortTextVariant);

void BM_CopyByteArrayVariant4K(benchmark::State& state) {
  Variant value = std::vector<uint8_t>(4096, 7);
  for (auto _ : state) {
    Variant copy = value;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyByteArrayVariant4K);

void BM_CopyStdVector4K(benchmark::State& state) {
  std::vector<uint8_t> value(4096, 7);
  for (auto _ : state) {
    std::vector<uint8_t> copy = value;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyStdVector4K);

void BM_CStrDouble(benchmark::State& state) {
  Variant value = 1234.5678;
  for (auto _ : state) benchmark::DoNotOptimize(platform::CStr(value));
}
BENCHMARK(BM_CStrDouble);

void BM_ToCharsDouble(benchmark::State& state) {
  double value = 1234.5678;
  char buffer[32];
  for (auto _ : state) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    benchmark::DoNotOptimize(std::string(buffer, result.ptr));
  }
}
BENCHMARK(BM_ToCharsDouble);

void BM_CLngText(benchmark::State& state) {
  Variant value = "12345";
  for (auto _ : state) benchmark::DoNotOptimize(platform::CLng(value));
}
BENCHMARK(BM_CLngText);

void BM_FromCharsInt(benchmark::State& state) {
  std::string value = "12345";
  for (auto _ : state) {
    int result = 0;
    std::from_chars(value.data(), value.data() + value.size(), result);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_FromCharsInt);

void BM_VarEqualsText(benchmark::State& state) {
  Variant a = "C:/Program Files/Common Files";
  Variant b = "C:/Program Files/Common Filez";
  for (auto _ : state) benchmark::DoNotOptimize(platform::VarEquals(a, b));
}
BENCHMARK(BM_VarEqualsText);

void BM_StdStringEquals(benchmark::State& state) {
  std::string a = "C:/Program Files/Common Files";
  std::string b = "C:/Program Files/Common Filez";
  benchmark::DoNotOptimize(a);
  benchmark::DoNotOptimize(b);
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_StdStringEquals);

void BM_FormatDateLogStamp(benchmark::State& state) {
  double now = platform::Now();
  for (auto _ : state) benchmark::DoNotOptimize(platform::FormatDate(now, "yyMMdd HH:mm:ss"));
}
BENCHMARK(BM_FormatDateLogStamp);

void BM_StrftimeLogStamp(benchmark::State& state) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buffer[32];
  for (auto _ : state) {
    size_t n = std::strftime(buffer, sizeof buffer, "%y%m%d %H:%M:%S", &tm);
    benchmark::DoNotOptimize(std::string(buffer, n));
  }
}
BENCHMARK(BM_StrftimeLogStamp);

}  // namespace
BENCHMARK_MAIN();
