// How long an editor waits for the diagnostics of a change: the language library's
// indexing and diagnostics of a whole model (what every change costs, since the
// server analyses the whole text again), and the same through movra-note lsp's
// protocol layer, from a didChange frame read to its publishDiagnostics written.
// The examples largest in bytes and in lines are measured; the aim is 20 ms.
//   build/bin/language_bench
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "language/diagnostics.h"
#include "language/lsp/server.h"
#include "language/model_index.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string frame(const json& message) {
  const std::string body = message.dump();
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void diagnoseModel(benchmark::State& state, const fs::path& path) {
  const std::string text = readFile(path);
  size_t found = 0;
  for (auto _ : state) {
    const auto index = movra::language::indexModel(text, path.string());
    const auto diagnostics = movra::language::diagnose(text, path.string(), *index);
    found = diagnostics.size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["bytes"] = static_cast<double>(text.size());
  state.counters["diagnostics"] = static_cast<double>(found);
}

// One session of kChanges edits, each a one-character change that the next undoes;
// the time per change is the session's time divided by the analyses it made.
void serveChanges(benchmark::State& state, const fs::path& path) {
  constexpr int kChanges = 20;
  const std::string uri = "file://" + path.string();
  std::string input = frame({{"jsonrpc", "2.0"},
                             {"id", 1},
                             {"method", "initialize"},
                             {"params", {{"capabilities", json::object()}}}});
  input += frame(
      {{"jsonrpc", "2.0"},
       {"method", "textDocument/didOpen"},
       {"params",
        {{"textDocument",
          {{"uri", uri}, {"languageId", "movra"}, {"version", 1}, {"text", readFile(path)}}}}}});
  for (int k = 0; k < kChanges; ++k) {
    const json range = {{"start", {{"line", 0}, {"character", 0}}},
                        {"end", {{"line", 0}, {"character", k % 2 == 0 ? 0 : 1}}}};
    input += frame({{"jsonrpc", "2.0"},
                    {"method", "textDocument/didChange"},
                    {"params",
                     {{"textDocument", {{"uri", uri}, {"version", k + 2}}},
                      {"contentChanges", {{{"range", range}, {"text", k % 2 == 0 ? " " : ""}}}}}}});
  }
  input += frame({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  input += frame({{"jsonrpc", "2.0"}, {"method", "exit"}});
  for (auto _ : state) {
    std::istringstream in(input);
    std::ostringstream out, log;
    benchmark::DoNotOptimize(movra::language::lsp::serve(in, out, log));
  }
  // Items are analyses (the didOpen and each change): items_per_second is one over
  // the time per change.
  state.SetItemsProcessed(state.iterations() * (kChanges + 1));
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path examples = fs::path(MOVRA_SOURCE_DIR) / "examples";
  fs::path biggest, longest;
  size_t bytes = 0, lines = 0;
  for (const auto& entry : fs::directory_iterator(examples)) {
    if (entry.path().extension() != ".model") continue;
    const std::string text = readFile(entry.path());
    const size_t count = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (text.size() > bytes) bytes = text.size(), biggest = entry.path();
    if (count > lines) lines = count, longest = entry.path();
  }
  for (const fs::path& path : {biggest, longest}) {
    const std::string name = path.stem().string();
    benchmark::RegisterBenchmark(("diagnose/" + name).c_str(), diagnoseModel, path)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("lsp_change/" + name).c_str(), serveChanges, path)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
