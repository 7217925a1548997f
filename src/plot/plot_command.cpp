#include "plot/plot_command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "plot/figure.h"
#include "plot/plot_data.h"

namespace movra::plot {

namespace {

// The figure's folder must exist and take files, before any run is spent on it.
std::string placeError(const std::string& figurePath) {
  if (std::string why = formatError(figurePath); !why.empty()) return why;
  std::filesystem::path folder = std::filesystem::path(figurePath).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    return figurePath + ": no folder " + folder.string();
  if (access(folder.c_str(), W_OK) != 0) return figurePath + ": cannot write in " + folder.string();
  return "";
}

// A run's folder holds its CSV as the only *.csv file.
std::string csvIn(const std::string& path, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) return path;
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
    if (entry.path().extension() != ".csv") continue;
    if (!found.empty()) {
      error = path + " holds more than one .csv file: name one";
      return "";
    }
    found = entry.path().string();
  }
  if (found.empty()) error = path + " holds no .csv file: run with --csv FILE or --plot FILE";
  return found;
}

}  // namespace

std::string figureFromCsv(const std::string& csvPath, const std::string& modelPath,
                          const std::string& figurePath) {
  if (std::string why = placeError(figurePath); !why.empty()) return why;
  PlotData data;
  if (std::string why = readCsv(csvPath, data); !why.empty()) return why;
  if (std::string why = describeFromFile(modelPath, data); !why.empty()) return why;
  return writeFigure(data, figurePath);
}

int plotCommand(const std::vector<std::string>& arguments) {
  std::string input, model, out;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == "--out" && hasValue) {
      out = arguments[++i];
    } else if (a == "--model" && hasValue) {
      model = arguments[++i];
    } else if (a.rfind("--", 0) != 0 && input.empty()) {
      input = a;
    } else {
      std::fprintf(stderr, "movra-note plot: unknown option '%s'\n", a.c_str());
      return 2;
    }
  }
  if (input.empty() || out.empty()) {
    std::fprintf(stderr, "movra-note plot: needs a CSV file or run folder and --out FILE\n");
    return 2;
  }
  if (std::string why = formatError(out); !why.empty()) {
    std::fprintf(stderr, "movra-note plot: %s\n", why.c_str());
    return 2;
  }
  std::string error;
  const std::string csv = csvIn(input, error);
  if (!error.empty()) {
    std::fprintf(stderr, "movra-note plot: %s\n", error.c_str());
    return 1;
  }
  if (std::string why = figureFromCsv(csv, model, out); !why.empty()) {
    std::fprintf(stderr, "movra-note plot: %s\n", why.c_str());
    return 1;
  }
  return 0;
}

int runWithPlot(std::vector<std::string> arguments, int (*run)(const std::vector<std::string>&)) {
  std::string figure, csv, model;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--plot" && i + 1 < arguments.size()) {
      figure = arguments[i + 1];
      arguments.erase(arguments.begin() + static_cast<long>(i), arguments.begin() + static_cast<long>(i) + 2);
      --i;
    } else if (arguments[i] == "--csv" && i + 1 < arguments.size()) {
      csv = arguments[++i];
    } else if (arguments[i] == "--plot") {
      std::fprintf(stderr, "movra-note run: --plot needs a file\n");
      return 2;
    } else if (arguments[i].rfind("--", 0) == 0) {
      ++i;  // every other option takes a value
    } else if (model.empty()) {
      model = arguments[i];
    }
  }
  if (figure.empty()) return run(arguments);
  if (std::string why = placeError(figure); !why.empty()) {
    std::fprintf(stderr, "movra-note run: --plot: %s\n", why.c_str());
    return 2;
  }
  std::string scratch;
  if (csv.empty()) {
    char folder[] = "/tmp/movra-plot-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
      std::fprintf(stderr, "movra-note run: cannot make a scratch directory in /tmp\n");
      return 1;
    }
    scratch = folder;
    csv = scratch + "/outputs.csv";
    arguments.push_back("--csv");
    arguments.push_back(csv);
  }
  const int status = run(arguments);
  int result = status;
  std::error_code ec;
  if (status == 0 && !std::filesystem::exists(csv, ec)) {
    std::fprintf(stderr, "movra-note run: --plot: the run recorded no frame to plot\n");
    result = 1;
  } else if (status == 0) {
    if (std::string why = figureFromCsv(csv, model, figure); !why.empty()) {
      std::fprintf(stderr, "movra-note run: --plot: %s\n", why.c_str());
      if (result == 0) result = 1;
    }
  }
  if (!scratch.empty()) std::filesystem::remove_all(scratch, ec);
  return result;
}

}  // namespace movra::plot
