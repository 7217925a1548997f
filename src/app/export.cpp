#include "app/export.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "engine/recording.h"
#include "platform/output_file.h"

namespace movra::app {

namespace {

constexpr int kTimeEntry = 1;

// Frame f of the exported run lies in ring slot (f + cursor) mod (capacity + 1).
int frameSlot(const Run& run, int frame) {
  const int slots = run.frames.capacity + 1;
  return slots > 0 ? (frame + run.frameCursor) % slots : frame;
}

bool exported(const Model& model, int item) { return model.outputs[item].outputKind >= 0; }

// The item's name as the model wrote it; the preset first item is the time.
std::string itemName(const Model& model, int item) {
  const OutputItem& output = model.outputs[item];
  if (item == 1 && output.slot == kTimeEntry && output.componentDigit == 0) return "t";
  const char* name = output.name;
  size_t length = strnlen(name, sizeof output.name);
  while (length > 0 && *name == ' ') {
    ++name;
    --length;
  }
  while (length > 0 && name[length - 1] == ' ') --length;
  std::string text(name, length);
  // Quoted only where a reader would otherwise split or misread the field.
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

void appendShortest(std::string& line, double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  line.append(buffer, result.ptr);
}

}  // namespace

bool exportOutputs(const Model& model, Run& run, Reporter& reporter, const std::string& directory) {
  if (run.lastFrame < 0) return true;
  platform::OutputFile out(directory + "out.txt");
  std::FILE* file = out.stream();
  for (int f = 0; file != nullptr && f <= run.lastFrame && !out.failed(); ++f) {
    const int slot = frameSlot(run, f);
    for (int item = 1; item <= model.count.outputs; ++item) {
      if (!exported(model, item)) continue;
      std::fprintf(file, " %-10.4g", recordedOutput(run, slot, item));
    }
    std::fputc('\n', file);
  }
  if (out.commit()) return true;
  // Half a table would pass for a shorter run: the older file stays, and the
  // user learns why.
  reporter.modelError(" Can't open out.txt \n\n%s", out.failure().c_str());
  return false;
}

std::string csvHeader(const Model& model) {
  std::string line;
  for (int item = 1; item <= model.count.outputs; ++item) {
    if (!exported(model, item)) continue;
    if (!line.empty()) line += ',';
    line += itemName(model, item);
  }
  return line;
}

std::string csvRow(const Model& model, Run& run, int slot) {
  std::string line;
  bool first = true;
  for (int item = 1; item <= model.count.outputs; ++item) {
    if (!exported(model, item)) continue;
    if (!first) line += ',';
    first = false;
    appendShortest(line, recordedOutput(run, slot, item));
  }
  return line;
}

bool exportCsv(const Model& model, Run& run, Reporter& reporter, const std::string& path) {
  if (run.lastFrame < 0 || path.empty()) return true;
  platform::OutputFile out(path);
  std::FILE* file = out.stream();
  std::string line = csvHeader(model);
  line += '\n';
  if (file != nullptr) std::fputs(line.c_str(), file);
  for (int f = 0; file != nullptr && f <= run.lastFrame && !out.failed(); ++f) {
    line = csvRow(model, run, frameSlot(run, f));
    line += '\n';
    std::fputs(line.c_str(), file);
  }
  if (out.commit()) return true;
  reporter.modelError(" Can't open %s \n\n%s", path.c_str(), out.failure().c_str());
  return false;
}

}  // namespace movra::app
