// What the DOM layer costs over plain pugixml on a settings snapshot of 500
// values (load + write, and a walk over every value), plus the crypto steps a
// settings file goes through.
//
// The ratios that matter (pugixml's time / ours): PugiLoadWrite /
// DocumentLoadWrite and PugiWalkValues / DocumentWalkValues, want >= 0.75
// each (FreeThreadedWalkValues is the same walk taking the lock per call; no
// goal). On a shared machine add --benchmark_repetitions=8
// --benchmark_enable_random_interleaving=true and compare medians.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <string>

#include "platform/xml/document.h"
#include "support/crypto/crypto_service.h"

namespace {

std::string Snapshot() {
  std::string text = "<VeltrisSettings><cSettings name=\"Windows_v1.50\">";
  for (int i = 0; i < 500; ++i) {
    text += "<user.setting" + std::to_string(i) + " VT=\"8\">value number " + std::to_string(i) + "</user.setting" +
            std::to_string(i) + ">";
  }
  return text + "</cSettings></VeltrisSettings>";
}

const std::string kSnapshot = Snapshot();

struct StringWriter : pugi::xml_writer {
  void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  std::string out;
};

void BM_PugiLoadWrite(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(kSnapshot.data(), kSnapshot.size());
    StringWriter writer;
    doc.print(writer, "", pugi::format_raw);
    benchmark::DoNotOptimize(writer.out);
  }
}
BENCHMARK(BM_PugiLoadWrite);

void BM_DocumentLoadWrite(benchmark::State& state) {
  for (auto _ : state) {
    platform::xml::Document doc;
    doc.LoadXml(kSnapshot);
    benchmark::DoNotOptimize(doc.Xml());
  }
}
BENCHMARK(BM_DocumentLoadWrite);

void BM_PugiWalkValues(benchmark::State& state) {
  pugi::xml_document doc;
  doc.load_buffer(kSnapshot.data(), kSnapshot.size());
  for (auto _ : state) {
    std::size_t total = 0;
    for (pugi::xml_node object : doc.select_nodes("//VeltrisSettings/cSettings[@name=\"Windows_v1.50\"]")
                                     .first()
                                     .node()
                                     .children()) {
      total += std::string(object.name()).size() + std::string(object.child_value()).size() +
               std::string(object.attribute("VT").value()).size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_PugiWalkValues);

void WalkValues(benchmark::State& state, platform::xml::Document doc) {
  doc.LoadXml(kSnapshot);
  for (auto _ : state) {
    std::size_t total = 0;
    for (const platform::xml::Node& value :
         doc.SelectSingleNode("//VeltrisSettings/cSettings[@name=\"Windows_v1.50\"]").ChildNodes()) {
      total += value.NodeName().size() + value.Text().size() + value.GetAttribute("VT").size();
    }
    benchmark::DoNotOptimize(total);
  }
}

void BM_DocumentWalkValues(benchmark::State& state) { WalkValues(state, platform::xml::Document()); }
BENCHMARK(BM_DocumentWalkValues);

void BM_FreeThreadedWalkValues(benchmark::State& state) {
  WalkValues(state, platform::xml::Document::FreeThreaded());
}
BENCHMARK(BM_FreeThreadedWalkValues);

void BM_SettingsFileCrypto(benchmark::State& state) {
  support::CryptoService crypto;
  for (auto _ : state) {
    auto key = crypto.DeriveKey("S-1-5-21-1000KEY");
    auto vector = crypto.DeriveKey("s-1-5-21-1000IV");
    auto cipher = crypto.Encrypt(support::AsBytes(kSnapshot), key, vector);
    benchmark::DoNotOptimize(crypto.Decrypt(cipher, key, vector));
    benchmark::DoNotOptimize(crypto.DigestText("+%&=*S-1-5-21-1000"));
  }
}
BENCHMARK(BM_SettingsFileCrypto);

void BM_StoreChunkCompress(benchmark::State& state) {
  support::CryptoService crypto;
  std::string chunk;
  while (chunk.size() < 524288) chunk += kSnapshot;
  chunk.resize(524288);
  for (auto _ : state) {
    auto packed = crypto.Compress(support::AsBytes(chunk));
    benchmark::DoNotOptimize(crypto.Decompress(packed, chunk.size()));
  }
}
BENCHMARK(BM_StoreChunkCompress);

}  // namespace
BENCHMARK_MAIN();
