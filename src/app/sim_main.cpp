// movra-sim: start-up. Copies the editor's blocks, checks the launch mode, reads the
// model text and the statements. The calculation and the window come next.
#include <cstdio>

#include "app/hand_over.h"
#include "input/model_text.h"
#include "input/statement_reader.h"
#include "platform/program_path.h"

using namespace movra;

int main(int argc, char** argv) {
  auto model = makeModel();
  Reporter reporter;
  int answerYes = 1;
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
  const std::string outputDirectory = platform::directoryOf(program);

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
  std::printf("movra-sim: %s read: %d statements, %d elements, %d parameter statements, "
              "%d command statements; output to %s\n",
              launch.at(launch.scaleForm ? 1 : 3).c_str(), model->recordsRead,
              model->count.elements, model->count.parameterStatements,
              model->count.commandStatements, outputDirectory.c_str());
  std::printf("movra-sim: the calculation is not built yet\n");
  return 0;
}
