// movra-note: the editor stand-in. Reads a model file, hands it to the simulator
// and reports what comes back.
#include <cstdio>
#include <string>
#include <vector>

#include "note/commands.h"

namespace {

void usage(std::FILE* stream) {
  std::fprintf(stream,
               "usage: movra-note run MODEL [--mode a1|a2|a3|a4] [--keys FILE] [--batch DIR] [--csv FILE]\n"
               "       movra-note check MODEL\n"
               "       movra-note dump MODEL\n"
               "       movra-note eval EXPR\n"
               "       movra-note --help\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      usage(stdout);
      return 0;
    }
  }
  if (arguments.size() < 2) {
    usage(stderr);
    return 2;
  }
  const std::string& command = arguments[0];
  if (command == "eval" && arguments.size() == 2) return movra::note::evalCommand(arguments[1]);
  if (command == "dump" && arguments.size() == 2) return movra::note::dumpCommand(arguments[1]);
  if (command == "check" && arguments.size() == 2) return movra::note::checkCommand(arguments[1]);
  if (command == "run") {
    return movra::note::runCommand(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  }
  usage(stderr);
  return 2;
}
