// movra-sim: start-up. Copies the editor's blocks, checks the launch mode, reads the
// model text and the statements. The calculation and the window come next.
#include <cstdio>

#include <cstdlib>

#include "app/export.h"
#include "app/hand_over.h"
#include "app/headless_host.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "input/model_text.h"
#include "input/statement_reader.h"
#include "platform/program_path.h"

using namespace movra;

int main(int argc, char** argv) {
  auto model = makeModel();
  Reporter reporter;
  // Without a window the Newton questions take the answer given for the run.
  const char* answer = std::getenv("MOVRA_ANSWER");
  int answerYes = (answer != nullptr && (answer[0] == 'N' || answer[0] == 'n')) ? 0 : 1;
  reporter.setSink(consoleSink(&answerYes));

  if (!app::copyHandOverBlocks(*model, reporter)) return 0;

  app::LaunchArguments launch;
  for (int i = 0; i < argc; ++i) launch.arguments.emplace_back(argv[i]);
  if (app::checkArguments(launch, reporter) != app::LaunchCheck::Go) return 0;
  model->handOverMode = launch.handOverMode;
  model->interactionMode = launch.interactionMode;
  reporter.setHandOverMode(launch.handOverMode);

  const std::string program = platform::programPath();
  if (program.empty()) {
    reporter.notice("実行ファイルのパスが？");
    return 0;
  }
  // "out.txt" goes beside the program; a batch run may name another directory.
  std::string outputDirectory = platform::directoryOf(program);
  if (const char* batch = std::getenv("MOVRA_OUTPUT_DIR"); batch != nullptr && *batch != 0) {
    outputDirectory = batch;
    if (outputDirectory.back() != '/') outputDirectory += '/';
  }

  ModelTextArguments textArguments{launch.at(1), launch.at(5)};
  const int textStatus = readModelText(*model, reporter, textArguments);
  if (textStatus > 10) {
    if (reporter.hasCollectedError()) std::fprintf(stderr, "%s\n", reporter.errorBuffer());
    return 0;
  }
  if (textStatus > 0) {
    reporter.notice("ファイルが開かない_");
    if (reporter.hasCollectedError()) std::fprintf(stderr, "%s\n", reporter.errorBuffer());
    return 0;
  }

  reporter.clearErrorBuffer();
  const int readStatus = readStatements(*model, reporter);
  if (readStatus != 0) {
    // Until the editor link exists the collected error goes to the console.
    if (reporter.hasCollectedError()) std::fprintf(stderr, "%s\n", reporter.errorBuffer());
    return 0;
  }
  const std::string modelName = launch.at(launch.scaleForm ? 1 : 3);
  auto run = makeRun();
  app::HeadlessHost host;
  int result = kRunRefused;
  if (prepareRun(*model, *run, reporter) == 0) result = runSimulation(*model, *run, reporter, host);
  if (reporter.hasCollectedError()) std::fprintf(stderr, "%s\n", reporter.errorBuffer());
  if (run->runEnded == 1) app::exportOutputs(*model, *run, reporter, outputDirectory);
  std::printf("movra-sim: %s: status %d, %d unknowns, %d steps, %d frames, %lld Newton iterations%s\n",
              modelName.c_str(), result, run->unknownCount, run->kt, run->lastFrame + 1,
              run->totalIterations, run->runEnded == 1 ? "; out.txt written" : "");
  return 0;
}
