// The stand-in's commands: eval, dump, check, run.
#pragma once

#include <string>
#include <vector>

namespace movra::note {

// Each returns the process exit code and writes its output to standard output.
int evalCommand(const std::string& expression);
int dumpCommand(const std::string& modelPath);
int checkCommand(const std::string& modelPath);
int runCommand(const std::vector<std::string>& arguments);

// The JSON texts, for tests.
std::string evalJson(const std::string& expression);

}  // namespace movra::note
