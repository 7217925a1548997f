// Whole runs in process, read back as series: the examples' text, one recorded
// item over all frames, level crossings, and bad model data refused at its line.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input/report.h"
#include "support/in_process_run.h"

namespace movra::testing {

// A number as model text, to the last bit.
inline std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

inline std::string readExample(const std::string& name) {
  std::ifstream file(std::string(MOVRA_SOURCE_DIR) + "/examples/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// One recorded item over all frames of a run, oldest first (the frames form a
// ring, read in the order of out.txt).
inline std::vector<double> series(InProcessRun& outcome, int item) {
  std::vector<double> values;
  const int slots = outcome.run->frames.capacity + 1;
  for (int frame = 0; frame <= outcome.run->lastFrame; ++frame) {
    values.push_back(outcome.output((frame + outcome.run->frameCursor) % slots, item));
  }
  return values;
}

// Times at which v crosses level, by linear interpolation between frames. Where a
// crossing is fast (a pendulum through the bottom, an oscillator through its rest
// position) the signal is nearly straight, so the interpolation error is of third
// order in the frame spacing.
inline std::vector<double> crossings(const std::vector<double>& t, const std::vector<double>& v,
                                     double level) {
  std::vector<double> times;
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    const double a = v[i] - level;
    const double b = v[i + 1] - level;
    if ((a < 0.0 && b >= 0.0) || (a > 0.0 && b <= 0.0)) {
      times.push_back(t[i] + (t[i + 1] - t[i]) * a / (a - b));
    }
  }
  return times;
}

// A model read and run: the first message of the reader or of the run, cut of its
// line marker, with the model file's line it names, and whether the unknowns
// stayed finite.
struct Checked {
  bool refused = false;
  int line = 0;
  std::string text;
  bool finite = true;
  int status = -1;     // the run's own status; -1 when the reader refused the model
  bool ended = false;  // the run was marked ended (a stop, not a refusal)
};

inline Checked check(const std::string& text) {
  Checked checked;
  InProcessRun outcome;
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  EXPECT_TRUE(note::readModelFile(text, image, errors));
  const note::ReadOutcome read = note::readImage(image, *outcome.model, 2);
  if (!read.ok()) {
    checked.refused = true;
    checked.line = read.messages.empty() ? 0 : read.messages[0].fileLine;
    checked.text = read.messages.empty() ? "" : read.messages[0].text;
    return checked;
  }
  Reporter reporter;
  reporter.setSink(outcome.messages.sink());
  int status = prepareRun(*outcome.model, *outcome.run, reporter);
  if (status == 0) status = runSimulation(*outcome.model, *outcome.run, reporter, outcome.host);
  checked.status = outcome.run->status;
  checked.ended = outcome.run->runEnded == 1;
  for (int u = 0; u <= outcome.run->unknownCount; ++u) {
    if (!std::isfinite(outcome.run->X[u])) checked.finite = false;
  }
  if (!outcome.messages.shown.empty()) {
    checked.refused = true;
    const std::string& message = outcome.messages.shown.front().text;
    std::vector<char> buffer(message.size() + 1);
    const int record = takeLineMarker(message.c_str(), outcome.model->lastRecordIndex,
                                      buffer.data(), static_cast<int>(buffer.size()));
    checked.text = buffer.data();
    if (record >= 0 && record < static_cast<int>(image.recordFileLine.size())) {
      checked.line = image.recordFileLine[record];
    }
  }
  return checked;
}

// Bad data that must be refused at the model file's line of its element, with a
// message that starts as given and no NaN left in the unknowns.
struct Refusal {
  const char* label;
  std::string model;
  int line;
  std::string message;
};

inline void expectRefused(const std::vector<Refusal>& cases) {
  for (const Refusal& c : cases) {
    const Checked checked = check(c.model);
    EXPECT_TRUE(checked.refused) << c.label;
    EXPECT_EQ(checked.line, c.line) << c.label << ": " << checked.text;
    EXPECT_EQ(checked.text.rfind(c.message, 0), 0u) << c.label << ": " << checked.text;
    EXPECT_TRUE(checked.finite) << c.label;
  }
}

}  // namespace movra::testing
