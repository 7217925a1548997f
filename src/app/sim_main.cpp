// movra-sim: start-up and the run. Copies the editor's blocks, checks the launch
// mode, reads the model, runs it (headless until the window exists), reports to
// the editor and writes "out.txt".
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/census.h"
#include "app/editor_report.h"
#include "app/export.h"
#include "app/hand_over.h"
#include "app/message_box_sink.h"
#include "app/window_host.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "input/model_text.h"
#include "input/statement_reader.h"
#include "platform/install_layout.h"
#include "platform/private_objects.h"
#include "platform/program_path.h"
#include "platform/stop_signals.h"

using namespace movra;

namespace {

// A hand-over block that could not be read.
constexpr int kHandOverFailed = 19;

// Off screen, Qt reports on every start that it cannot raise windows or find a
// runtime directory; those lines say nothing to a user of a batch run.
void quietPlatformNoise(QtMsgType, const QMessageLogContext&, const QString& message) {
  if (message.startsWith("This plugin does not support") ||
      message.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set")) {
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Sends what the reader collected, if the editor started us and there is any.
void reportCollectedError(const Model& model, const Run& run, Reporter& reporter,
                          const app::LaunchArguments& launch) {
  if (model.handOverMode > 0 && reporter.hasCollectedError()) {
    app::reportErrorToEditor(model, run, reporter, launch.at(4));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("movra-sim %s\n", MOVRA_VERSION);
    return 0;
  }
  // Pictures need Qt's fonts and painting; without a display they are made off screen.
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  qInstallMessageHandler(quietPlatformNoise);
  // From here on Ctrl-C and a kill ask the run to stop; the window acts on it.
  platform::watchStopSignals();
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  auto model = makeModel();
  auto run = makeRun();
  Reporter reporter;
  // Without a window the Newton questions take the answer given for the run.
  const char* answer = std::getenv("MOVRA_ANSWER");
  int answerYes = (answer != nullptr && (answer[0] == 'N' || answer[0] == 'n')) ? 0 : 1;
  // The census refuses in a plain box, as a window would.
  app::MessageBoxContext startBoxes;
  reporter.setSink(app::messageBoxSink(&startBoxes));
  // A refused start is a failure to whoever started us: never status 0.
  if (app::censusAllowsStart(reporter) != app::LaunchCheck::Go) return kRunRefused;
  reporter.setSink(consoleSink(&answerYes));

  app::LaunchArguments launch;
  for (int i = 0; i < argc; ++i) launch.arguments.emplace_back(argv[i]);
  // The editor's id names the blocks of this run.
  if (!app::copyHandOverBlocks(*model, reporter, launch.at(4))) return kHandOverFailed;

  if (app::checkArguments(launch, reporter) != app::LaunchCheck::Go) return kRunRefused;
  model->handOverMode = launch.handOverMode;
  model->interactionMode = launch.interactionMode;
  reporter.setHandOverMode(launch.handOverMode);

  const std::string program = platform::programPath();
  if (program.empty()) {
    reporter.notice("実行ファイルのパスが？");
    return kRunRefused;
  }
  // "out.txt" goes beside the program, where an editor that starts us looks for
  // it, unless the program came with its shared files (an installation): then to
  // the user's results folder. A batch run names its own directory, so that runs
  // side by side never write over each other's results.
  const std::string besideProgram = platform::directoryOf(program);
  std::string outputDirectory =
      platform::resultsDirectory(besideProgram, launch.at(launch.scaleForm ? 1 : 3));
  const char* batch = std::getenv("MOVRA_OUTPUT_DIR");
  const bool batchFolder = batch != nullptr && *batch != 0;
  if (batchFolder || outputDirectory != besideProgram) {
    std::string wanted = batchFolder ? batch : outputDirectory;
    if (!batchFolder) {
      std::error_code ignored;
      std::filesystem::create_directories(wanted, ignored);
    }
    // The real folder, once: a link swapped later cannot move the results. Not
    // one that another account may write into (it could swap our results).
    const std::string why = platform::outputFolderDistrust(wanted, outputDirectory);
    if (!why.empty()) {
      reporter.notice("%s", why.c_str());
      return kRunRefused;
    }
    if (outputDirectory.back() != '/') outputDirectory += '/';
  }

  ModelTextArguments textArguments{launch.at(1), launch.at(5)};
  const int textStatus = readModelText(*model, reporter, textArguments);
  if (textStatus != 0) {
    if (textStatus <= 10) reporter.notice("ファイルが開かない_");
    // The editor would otherwise never learn why nothing ran.
    reportCollectedError(*model, *run, reporter, launch);
    return kRunRefused;
  }

  // The rest of start-up happens with the window: on a display it stays open for
  // playback; in a batch run, or without a display, it saves its picture and closes.
  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  app::WindowRunOptions options;
  options.outputDirectory = outputDirectory;
  if (const char* csv = std::getenv("MOVRA_CSV_FILE"); csv != nullptr && *csv != 0) {
    std::error_code ignored;
    const std::filesystem::path path = std::filesystem::absolute(csv, ignored);
    std::string folder;
    if (const std::string why = platform::outputFolderDistrust(path.parent_path().string(), folder);
        !why.empty()) {
      reporter.notice("%s", why.c_str());
      return kRunRefused;
    }
    options.csvPath = folder + "/" + path.filename().string();
  }
  options.batch = std::getenv("MOVRA_OUTPUT_DIR") != nullptr || !display;
  options.offscreenAnswer = answerYes;
  options.titleChanged = app::publishTitle;  // what the census of later starts reads
  std::string written;
  options.written = &written;
  // The interactive modes run until the user stops them: without a window to
  // stop them in they would never end.
  if (options.batch && launch.interactionMode != 0) {
    std::fprintf(stderr, "movra-sim: the interactive modes (_a3_, _a4_) need a display\n");
    return kRunRefused;
  }
  const int result = app::runWithWindow(*model, *run, reporter, launch, options);

  const std::string modelName = launch.at(launch.scaleForm ? 1 : 3);
  std::printf("movra-sim: %s: status %d, %d unknowns, %d steps, %d frames, %lld Newton iterations%s\n",
              modelName.c_str(), result, run->unknownCount, run->kt, run->lastFrame + 1,
              run->totalIterations, written.empty() ? "; nothing written" : ("; wrote " + written).c_str());
  return result;
}
