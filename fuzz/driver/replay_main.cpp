// Without libFuzzer (a gcc build) a fuzz target still builds: this main feeds
// it each file named on the command line (or each file of a named folder), so
// a crash input or a whole corpus can be replayed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::printf("usage: %s FILE|FOLDER...\nFeeds each file (each file of a folder) to the fuzz target once.\n"
                "Build with clang for libFuzzer.\n",
                argv[0]);
    return argc < 2 ? 2 : 0;
  }
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (std::filesystem::is_directory(argv[i], ec)) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec))
        if (entry.is_regular_file(ec)) Replay(entry.path()), ++replayed;
    } else {
      Replay(argv[i]);
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return 0;
}
