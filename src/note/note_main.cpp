// movra-note: the editor stand-in. Reads a model file, hands it to the simulator
// and reports what comes back.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <iostream>

#include "editor/edit_command.h"
#include "language/lsp/server.h"
#include "note/commands.h"
#include "note/launcher.h"
#include "plot/plot_command.h"

namespace {

void usage(std::FILE* stream) {
  std::fprintf(stream,
               "usage: movra-note run MODEL [--mode a1|a2|a3|a4] [--keys FILE] [--batch DIR] [--csv FILE]\n"
               "                      [--plot FIGURE.svg|.pdf|.png]\n"
               "       movra-note plot CSV_OR_RUN_FOLDER [--model MODEL] --out FIGURE.svg|.pdf|.png\n"
               "       movra-note edit [MODEL...]\n"
               "       movra-note check MODEL\n"
               "       movra-note dump MODEL\n"
               "       movra-note eval EXPR\n"
               "       movra-note lsp\n"
               "       movra-note --help | --version\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      usage(stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("movra-note %s\n", MOVRA_VERSION);
      return 0;
    }
  }
  // The language server talks the protocol on standard input and output.
  if (arguments.size() == 1 && arguments[0] == "lsp") {
    std::ios::sync_with_stdio(false);
    return movra::language::lsp::serve(std::cin, std::cout, std::cerr);
  }
  // The desktop editor, with the models to open (none: an empty one).
  if (!arguments.empty() && arguments[0] == "edit") {
    for (size_t k = 1; k < arguments.size(); ++k) {
      if (arguments[k].rfind("-", 0) == 0) {
        std::fprintf(stderr, "movra-note edit: unknown option '%s'\n", arguments[k].c_str());
        return 2;
      }
    }
    return movra::editor::editCommand(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  }
  if (arguments.size() < 2) {
    usage(stderr);
    return 2;
  }
  const std::string& command = arguments[0];
  int status = 2;
  if (command == "eval" && arguments.size() == 2) {
    status = movra::note::evalCommand(arguments[1]);
  } else if (command == "dump" && arguments.size() == 2) {
    status = movra::note::dumpCommand(arguments[1]);
  } else if (command == "check" && arguments.size() == 2) {
    status = movra::note::checkCommand(arguments[1]);
  } else if (command == "run") {
    status = movra::plot::runWithPlot(std::vector<std::string>(arguments.begin() + 1, arguments.end()),
                                      movra::note::runCommand);
  } else if (command == "plot") {
    status = movra::plot::plotCommand(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  } else {
    usage(stderr);
    return 2;
  }
  // Stopped by Ctrl-C or a kill while the simulator ran: with the blocks and the
  // socket gone, end by that signal, so that a shell or a script knows.
  if (const int signal = movra::note::stopSignalReceived(); signal != 0) {
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
  return status;
}
