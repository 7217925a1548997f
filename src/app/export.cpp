#include "app/export.h"

#include <cstdio>

#include "engine/recording.h"

namespace movra::app {

bool exportOutputs(const Model& model, Run& run, Reporter& reporter, const std::string& directory) {
  if (run.lastFrame < 0) return true;
  const std::string path = directory + "out.txt";
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    reporter.modelError(" Can't open out.txt ");
    return false;
  }
  const int slots = run.frames.capacity + 1;
  for (int f = 0; f <= run.lastFrame; ++f) {
    const int slot = slots > 0 ? (f + run.frameCursor) % slots : f;
    for (int item = 1; item <= model.count.outputs; ++item) {
      if (model.outputs[item].outputKind < 0) continue;
      std::fprintf(file, " %-10.4g", recordedOutput(run, slot, item));
    }
    std::fputc('\n', file);
  }
  std::fclose(file);
  return true;
}

}  // namespace movra::app
