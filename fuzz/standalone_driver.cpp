// Runs a fuzz entry point without libFuzzer: every file of a seed corpus, then a
// fixed number of deterministic mutations of them. Under the sanitizers this is the
// smoke run the tests include; real fuzzing uses the libFuzzer build.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

uint32_t nextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

// Byte flips, insertions, deletions, duplications and splices of corpus inputs.
std::string mutate(const std::vector<std::string>& corpus, uint32_t& state) {
  std::string input = corpus[nextRandom(state) % corpus.size()];
  const int edits = 1 + static_cast<int>(nextRandom(state) % 8);
  static const char kInteresting[] = "()+-*/^~,._ \t\r\n$>0123456789ekMGmunpxpsinpowpi{}cfh";
  for (int e = 0; e < edits; ++e) {
    const size_t at = input.empty() ? 0 : nextRandom(state) % (input.size() + 1);
    switch (nextRandom(state) % 6) {
      case 0:
        if (!input.empty() && at < input.size()) input[at] = static_cast<char>(nextRandom(state));
        break;
      case 1:
        input.insert(at, 1, kInteresting[nextRandom(state) % (sizeof kInteresting - 1)]);
        break;
      case 2:
        if (at < input.size()) input.erase(at, 1 + nextRandom(state) % 4);
        break;
      case 3:
        input.insert(at, input.substr(0, nextRandom(state) % 64));
        break;
      case 4: {
        const std::string& other = corpus[nextRandom(state) % corpus.size()];
        input.insert(at, other.substr(0, nextRandom(state) % (other.size() + 1)));
        break;
      }
      default:
        input.append(static_cast<size_t>(nextRandom(state) % 300), kInteresting[nextRandom(state) % 20]);
    }
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR MUTATIONS\n", argv[0]);
    return 2;
  }
  std::vector<std::string> corpus;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "empty corpus %s\n", argv[1]);
    return 2;
  }
  for (const std::string& input : corpus) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  const long mutations = std::strtol(argv[2], nullptr, 10);
  uint32_t state = 12345;
  for (long i = 0; i < mutations; ++i) {
    const std::string input = mutate(corpus, state);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  std::printf("%zu corpus inputs and %ld mutations ran clean\n", corpus.size(), mutations);
  return 0;
}
