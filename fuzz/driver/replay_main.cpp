// Without libFuzzer (a gcc build) a fuzz target still builds: this main feeds
// it each file named on the command line, so a crash input can be replayed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::printf("usage: %s FILE...\nFeeds each file to the fuzz target once (build with clang for libFuzzer).\n",
                argv[0]);
    return argc < 2 ? 2 : 0;
  }
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  return 0;
}
