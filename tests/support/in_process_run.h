// Runs model text the way movra-note hands it over, inside the test process.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/recording.h"
#include "engine/run_setup.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/engine_fixture.h"

namespace movra::testing {

struct InProcessRun {
  int status = -1;
  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<movra::Run> run = makeRun();
  ScriptedMessages messages;
  RecordingHost host;

  double output(int frame, int item) { return recordedOutput(*run, frame, item); }
};

inline std::unique_ptr<InProcessRun> runModelText(const std::string& text, int handOverMode = 2) {
  auto outcome = std::make_unique<InProcessRun>();
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  EXPECT_TRUE(note::readModelFile(text, image, errors)) << (errors.empty() ? "" : errors[0].message);
  const note::ReadOutcome read = note::readImage(image, *outcome->model, handOverMode);
  EXPECT_TRUE(read.ok()) << (read.messages.empty() ? "" : read.messages[0].text);
  Reporter reporter;
  reporter.setSink(outcome->messages.sink());
  if (prepareRun(*outcome->model, *outcome->run, reporter) != 0) return outcome;
  outcome->status = runSimulation(*outcome->model, *outcome->run, reporter, outcome->host);
  return outcome;
}

}  // namespace movra::testing
