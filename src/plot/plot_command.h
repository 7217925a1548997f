// The command line's figures: "movra-note plot" and "movra-note run --plot".
#pragma once

#include <string>
#include <vector>

namespace movra::plot {

// Reads the CSV, names its series from the model (may be empty), arranges and
// writes the figure. Returns an empty string or why not.
std::string figureFromCsv(const std::string& csvPath, const std::string& modelPath,
                          const std::string& figurePath);

// "plot CSV_OR_FOLDER [--model MODEL] --out FILE": the exit code.
int plotCommand(const std::vector<std::string>& arguments);

// "run MODEL ... --plot FILE": runs through run(arguments) with a CSV (the one
// given by --csv or a scratch file), then writes the figure. The exit code.
int runWithPlot(std::vector<std::string> arguments, int (*run)(const std::vector<std::string>&));

}  // namespace movra::plot
