#include "note/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "input/expression.h"
#include "note/dump_json.h"
#include "note/in_process.h"
#include "note/json_writer.h"
#include "note/launcher.h"
#include "note/message_table.h"
#include "note/model_file.h"
#include "note/model_warnings.h"
#include "note/required_fields.h"
#include "platform/editor_link.h"
#include "platform/install_layout.h"
#include "platform/private_objects.h"
#include "platform/program_path.h"

namespace movra::note {

namespace {

void printFileErrors(const std::string& path, const std::vector<FileError>& errors) {
  for (const FileError& error : errors) {
    if (error.line > 0) {
      std::printf("%s:%d: %s\n", path.c_str(), error.line, error.message.c_str());
    } else {
      std::printf("%s: %s\n", path.c_str(), error.message.c_str());
    }
  }
}

// A message of the reader or the simulator, and under it what it means in English.
void printMessage(const std::string& path, const ReaderMessage& message) {
  std::printf("%s\n", formatFileMessage(path, message).c_str());
  if (const std::string hint = messageHint(message.text); !hint.empty()) std::printf("  %s\n", hint.c_str());
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string evalJson(const std::string& expression) {
  ParameterStore parameters;
  ValueSources sources{&parameters, nullptr, nullptr};
  EvaluationResult result;
  const int status = evaluateExpression(expression.c_str(), sources, result);
  JsonWriter json;
  json.beginObject();
  json.field("status", status);
  json.key("value");
  if (status == 0) {
    json.value(result.value);
  } else {
    json.null();
  }
  json.field("operands", result.operandCount);
  json.field("parameter_id", result.parameterId);
  json.field("variable_slot", result.variableSlot);
  json.field("reference_id", result.referenceId);
  json.field("component_digit", result.componentDigit);
  json.endObject();
  return json.text();
}

int evalCommand(const std::string& expression) {
  std::printf("%s\n", evalJson(expression).c_str());
  return 0;
}

namespace {

// Reads the model file; prints its mistakes and returns false when it cannot be read.
bool readFileOrReport(const std::string& modelPath, HandOverImage& image) {
  std::vector<FileError> errors;
  if (readModelFilePath(modelPath, image, errors)) errors = missingFields(image);
  printFileErrors(modelPath, errors);
  return errors.empty();
}

}  // namespace

int dumpCommand(const std::string& modelPath) {
  HandOverImage image;
  if (!readFileOrReport(modelPath, image)) return 1;
  auto model = makeModel();
  const ReadOutcome outcome = readImage(image, *model, 0);
  JsonWriter json;
  writeModelJson(*model, image, outcome, json);
  std::printf("%s\n", json.text().c_str());
  return outcome.ok() ? 0 : 1;
}


namespace {

// The numbers of a report as model fields ("a, b, c"), or "" unless there are
// exactly count of them.
std::string commaFields(const std::string& text, size_t count) {
  std::string fields;
  size_t found = 0;
  size_t at = text.find_first_not_of(" \t");
  while (at != std::string::npos) {
    const size_t end = text.find_first_of(" \t", at);
    const std::string word = text.substr(at, end == std::string::npos ? end : end - at);
    char* rest = nullptr;
    std::strtod(word.c_str(), &rest);
    if (rest == word.c_str() || *rest != 0) return "";
    if (found++ > 0) fields += ", ";
    fields += word;
    at = text.find_first_not_of(" \t", end);
  }
  return found == count ? fields : "";
}

// A simulator that a signal ended never wrote its closing line: say what happened
// and what of the run survived (an "out.txt" written before the end, or nothing).
void reportSimulatorDeath(const SimulatorEnd& end, const std::string& directory,
                          std::filesystem::file_time_type launched) {
  const char* name = strsignal(end.signal);
  std::fprintf(stderr, "movra-note run: movra-sim was ended by signal %d (%s)%s during the run\n",
               end.signal, name != nullptr ? name : "?", end.coreDumped ? ", core dumped" : "");
  const std::string outTxt = directory + "out.txt";
  std::error_code error;
  const auto written = std::filesystem::last_write_time(outTxt, error);
  if (!error && written >= launched) {
    std::fprintf(stderr, "movra-note run: %s was written before it ended; frames computed after that are lost\n",
                 outTxt.c_str());
  } else {
    std::fprintf(stderr, "movra-note run: nothing was written: the frames it had computed are lost\n");
  }
}

// Prints one report of the simulator the way a user reads it; true for an error.
bool printReport(const std::string& modelPath, const HandOverImage& image,
                 const platform::EditorMessage& report) {
  if (platform::isErrorReport(report.dataWord)) {
    ReaderMessage message;
    message.text = report.text;
    message.fileLine = reportFileLine(image, platform::errorRecord(report.dataWord));
    printMessage(modelPath, message);
    return true;
  }
  if (const std::string view = commaFields(report.text, 3);
      report.dataWord == platform::kViewWindowReport && !view.empty()) {
    // Pasted as the first three fields of the model's ".vc" line.
    std::printf("%s: view window: .vc %s\n", modelPath.c_str(), view.c_str());
  } else if (const std::string scales = commaFields(report.text, 10);
             report.dataWord == platform::kScalesReport && !scales.empty()) {
    // Fields 4..13 of the ".vc" line, in column order.
    std::printf("%s: scales: %s\n", modelPath.c_str(), scales.c_str());
  } else {
    std::printf("%s: report %d:%s\n", modelPath.c_str(), report.dataWord, report.text.c_str());
  }
  return false;
}

struct RunOptions {
  std::string modelPath;
  std::string modeMarker = "_a2_";
  std::string controlKeyFile;
  std::string batchDirectory;
  std::string csvFile;
  std::string answer;
  bool quiet = false;  // without the simulator's summary line
};

// Hands the model over, runs the simulator and shows its reports.
int runModel(const RunOptions& options) {
  const std::string& modelPath = options.modelPath;
  HandOverImage image;
  if (!readFileOrReport(modelPath, image)) return 1;
  if (!options.quiet) {
    auto model = makeModel();
    const bool read = readImage(image, *model, 2).ok();
    printFileErrors(modelPath, doubtfulLines(image, *model, read));
  }
  // From here on a stop signal must not end us before what we make is removed.
  StopSignalsHeld stopSignals;
  clearLeftoversOfDeadEditors();
  platform::EditorMailbox mailbox;
  if (!mailbox.ok()) {
    std::fprintf(stderr, "movra-note run: cannot open the editor socket in %s\n",
                 platform::runtimeDirectory().c_str());
    if (!mailbox.refusal().empty())
      std::fprintf(stderr, "movra-note run: %s\n", mailbox.refusal().c_str());
    return 1;
  }
  LaunchRequest request;
  request.modeMarker = options.modeMarker;
  request.controlKeyFile = options.controlKeyFile;
  request.textBlockName = textBlockNameFor(mailbox.id());
  request.modelName = baseName(modelPath);
  request.editorWindow = mailbox.id();
  request.simulatorPath = platform::directoryOf(platform::programPath()) + "movra-sim";
  request.quiet = options.quiet;
  // The simulator reads these from its environment: where a batch run's results go
  // and how the Newton questions are answered without a window.
  if (!options.batchDirectory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.batchDirectory, error);
    if (error || !std::filesystem::is_directory(options.batchDirectory)) {
      std::fprintf(stderr, "movra-note run: cannot make the folder %s: %s\n",
                   options.batchDirectory.c_str(),
                   error ? error.message().c_str() : "a file of that name is in the way");
      return 1;
    }
    // Results go only where no other account can swap them or plant links for them.
    std::string resolved;
    if (const std::string why = platform::outputFolderDistrust(options.batchDirectory, resolved);
        !why.empty()) {
      std::fprintf(stderr, "movra-note run: --batch: %s\n", why.c_str());
      return 1;
    }
    setenv("MOVRA_OUTPUT_DIR", options.batchDirectory.c_str(), 1);
  }
  if (!options.answer.empty()) setenv("MOVRA_ANSWER", options.answer.c_str(), 1);
  if (!options.csvFile.empty()) {
    // The simulator may run elsewhere: it gets the path as the user meant it here.
    std::error_code error;
    const std::filesystem::path csv = std::filesystem::absolute(options.csvFile, error);
    std::string resolved;
    if (const std::string why = platform::outputFolderDistrust(csv.parent_path().string(), resolved);
        !error && !why.empty()) {
      std::fprintf(stderr, "movra-note run: --csv: %s\n", why.c_str());
      return 1;
    }
    setenv("MOVRA_CSV_FILE", error ? options.csvFile.c_str() : csv.c_str(), 1);
  }

  // Reports are shown as they come, while the simulator's window is still open.
  bool failed = false;
  const auto showReports = [&] {
    for (const platform::EditorMessage& report : mailbox.takeMessages()) {
      failed = printReport(modelPath, image, report) || failed;
    }
    std::fflush(stdout);
  };
  SimulatorEnd end;
  const auto launched = std::filesystem::file_time_type::clock::now();
  {
    HandOverBlocks blocks(image, request.textBlockName, mailbox.id());
    if (!blocks.ok()) {
      std::printf("%s: %s\n", modelPath.c_str(), blocks.error().c_str());
      return 1;
    }
    std::fflush(stdout);
    end = waitForSimulator(request, showReports);
  }
  if (end.code < 0 && stopSignalReceived() != 0) return 1;  // stopped before the start
  if (end.code < 0) {
    std::fprintf(stderr, "movra-note run: cannot start %s\n", request.simulatorPath.c_str());
    return 1;
  }
  showReports();
  if (const int signal = stopSignalReceived(); signal != 0 && end.signal == 0) {
    const char* name = strsignal(signal);
    std::fprintf(stderr, "movra-note run: %s: the simulator was asked to stop\n", name != nullptr ? name : "?");
  }
  if (end.signal != 0) {
    const std::string directory = options.batchDirectory.empty()
                                      ? platform::resultsDirectory(
                                            platform::directoryOf(request.simulatorPath),
                                            request.modelName)
                                      : options.batchDirectory + "/";
    reportSimulatorDeath(end, directory, launched);
    return end.code;
  }
  return failed ? 1 : end.code;
}

}  // namespace

int checkCommand(const std::string& modelPath) {
  HandOverImage image;
  if (!readFileOrReport(modelPath, image)) return 1;
  auto model = makeModel();
  const ReadOutcome outcome = readImage(image, *model, 1);
  // Doubtful lines are shown first; they never change the outcome.
  printFileErrors(modelPath, doubtfulLines(image, *model, outcome.ok()));
  for (const ReaderMessage& message : outcome.messages) printMessage(modelPath, message);
  if (!outcome.ok()) return 1;
  // The model reads: the initial-check launch also solves for the starting state,
  // without a window and with its results in a directory of its own.
  char scratch[] = "/tmp/movra-check-XXXXXX";
  if (mkdtemp(scratch) == nullptr) {
    std::fprintf(stderr, "movra-note check: cannot make a scratch directory in /tmp\n");
    return 1;
  }
  RunOptions options;
  options.modelPath = modelPath;
  options.modeMarker = "_a1_";
  options.batchDirectory = scratch;
  options.quiet = true;
  const int status = runModel(options);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return status == 0 ? 0 : 1;
}

int runCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    std::fprintf(stderr, "movra-note run: which model?\n");
    return 2;
  }
  RunOptions options;
  // Options may stand before or after the model.
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (option == "--mode" && hasValue) {
      const std::string& mode = arguments[++i];
      if (mode != "a1" && mode != "a2" && mode != "a3" && mode != "a4") {
        std::fprintf(stderr, "movra-note run: --mode takes a1, a2, a3 or a4, not '%s'\n", mode.c_str());
        return 2;
      }
      options.modeMarker = "_" + mode + "_";
    } else if (option == "--keys" && hasValue) {
      options.controlKeyFile = arguments[++i];
    } else if (option == "--batch" && hasValue) {
      options.batchDirectory = arguments[++i];
    } else if (option == "--csv" && hasValue) {
      options.csvFile = arguments[++i];
    } else if (option == "--answer" && hasValue) {
      options.answer = arguments[++i];
      if (options.answer != "Y" && options.answer != "N") {
        std::fprintf(stderr, "movra-note run: --answer takes Y or N\n");
        return 2;
      }
    } else if (option.rfind("--", 0) != 0 && options.modelPath.empty()) {
      options.modelPath = option;
    } else {
      std::fprintf(stderr, "movra-note run: unknown option '%s'\n", option.c_str());
      return 2;
    }
  }
  if (options.modelPath.empty()) {
    std::fprintf(stderr, "movra-note run: which model?\n");
    return 2;
  }
  return runModel(options);
}

}  // namespace movra::note
