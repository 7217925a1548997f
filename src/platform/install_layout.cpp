#include "platform/install_layout.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#ifndef MOVRA_DATA_FROM_BIN
#define MOVRA_DATA_FROM_BIN "../share/movra"
#endif

namespace movra::platform {

namespace {

std::string withSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The user's data folder; "" when neither the environment nor the password
// database names a home.
std::string userDataHome() {
  // A relative XDG_DATA_HOME is to be ignored.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    return withSlash(data);
  }
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return {};
  return withSlash(home) + ".local/share/";
}

}  // namespace

std::string dataDirectory(const std::string& programDirectory) {
  if (programDirectory.empty()) return {};
  const std::filesystem::path data =
      (std::filesystem::path(programDirectory) / MOVRA_DATA_FROM_BIN).lexically_normal();
  std::error_code ignored;
  if (!std::filesystem::is_directory(data, ignored)) return {};
  return withSlash(data.string());
}

std::string materialsDirectory(const std::string& programDirectory) {
  const std::string data = dataDirectory(programDirectory);
  std::error_code ignored;
  if (data.empty() || !std::filesystem::is_directory(data + "materials", ignored)) return {};
  return data + "materials/";
}

std::string resultsDirectory(const std::string& programDirectory, const std::string& modelName) {
  if (dataDirectory(programDirectory).empty()) return withSlash(programDirectory);
  const std::string home = userDataHome();
  if (home.empty()) return withSlash(programDirectory);
  // "rc_circuit.model" keeps its results in ".../results/rc_circuit/".
  std::string name = std::filesystem::path(modelName).filename().string();
  if (name.size() > 6 && name.ends_with(".model")) name.resize(name.size() - 6);
  if (name.empty() || name == "." || name == "..") name = "model";
  return home + "movra/results/" + name + "/";
}

}  // namespace movra::platform
