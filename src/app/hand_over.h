// The simulator's side of the hand-over: copying the editor's three blocks into the
// model, and reading the launch arguments.
#pragma once

#include <string>
#include <vector>

#include "input/hand_over_layout.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::app {

inline constexpr const char* kVersion = "v-7.72";

// Copies "quillC0", "quillC" and "hMapN" into the model. Returns false after a
// failure (its message has been shown); start-up then ends. With the editor's id
// the blocks are that run's own (handOverBlockName): each is removed once copied,
// as nothing else will read it.
bool copyHandOverBlocks(Model& model, Reporter& reporter, const std::string& editorId = {});

struct LaunchArguments {
  std::vector<std::string> arguments;  // argument 0 is the program
  int handOverMode = 0;
  int interactionMode = 0;
  bool scaleForm = false;              // argument 2 held "scale": run without editor feedback

  const std::string& at(size_t index) const;
};

enum class LaunchCheck { Go, EndSilently, End };

// Reads the mode marker of argument 2. Shows the version notice for an unknown
// marker.
LaunchCheck checkArguments(LaunchArguments& launch, Reporter& reporter);

}  // namespace movra::app
