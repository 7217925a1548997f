#include "editor/recovery_store.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace movra::editor {

namespace {

namespace fs = std::filesystem;

constexpr const char* kMagic = "movra-recovery 1";
constexpr const char* kSuffix = ".recovery";

std::string defaultFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr ? home : "/tmp") + "/.local/state";
  }
  return base + "/movra/recovery";
}

// FNV-1a: stable across runs and builds, unlike std::hash.
std::string pathHash(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

bool alive(long pid) {
  return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

RecoveryStore::RecoveryStore() : folder_(defaultFolder()) {}
RecoveryStore::RecoveryStore(std::string folder) : folder_(std::move(folder)) {}

std::string RecoveryStore::copyPathFor(const std::string& modelPath, int untitled) const {
  if (modelPath.empty()) {
    return folder_ + "/untitled-" + std::to_string(static_cast<long>(getpid())) + "-" +
           std::to_string(untitled) + kSuffix;
  }
  std::error_code error;
  const fs::path absolute = fs::weakly_canonical(fs::absolute(modelPath, error), error);
  return folder_ + "/" + fs::path(modelPath).filename().string() + "." +
         pathHash(absolute.string()) + kSuffix;
}

bool RecoveryStore::write(const std::string& modelPath, int untitled,
                          const std::string& text) const {
  std::error_code error;
  fs::create_directories(folder_, error);
  chmod(folder_.c_str(), 0700);
  const std::string target = copyPathFor(modelPath, untitled);
  const std::string temporary = target + ".part";
  {
    const mode_t mask = umask(077);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    umask(mask);
    if (!out) return false;
    std::string absolute;
    if (!modelPath.empty()) absolute = fs::absolute(modelPath, error).string();
    out << kMagic << "\n" << static_cast<long>(getpid()) << "\n" << absolute << "\n" << text;
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), target.c_str()) == 0;
}

void RecoveryStore::remove(const std::string& modelPath, int untitled) const {
  std::error_code ignored;
  fs::remove(copyPathFor(modelPath, untitled), ignored);
}

std::optional<RecoveryCopy> RecoveryStore::read(const std::string& copyPath) {
  std::ifstream in(copyPath, std::ios::binary);
  std::string magic, writer, model;
  if (!std::getline(in, magic) || magic != kMagic || !std::getline(in, writer) ||
      !std::getline(in, model)) {
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  RecoveryCopy copy;
  copy.copyPath = copyPath;
  copy.modelPath = model;
  copy.writer = std::strtol(writer.c_str(), nullptr, 10);
  copy.text = text.str();
  return copy;
}

std::optional<RecoveryCopy> RecoveryStore::offerFor(const std::string& modelPath) const {
  const std::string copyPath = copyPathFor(modelPath);
  auto copy = read(copyPath);
  if (!copy) return std::nullopt;
  if (copy->writer != static_cast<long>(getpid()) && alive(copy->writer)) return std::nullopt;
  std::error_code error;
  const auto modelTime = fs::last_write_time(modelPath, error);
  if (!error && fs::last_write_time(copyPath, error) < modelTime) return std::nullopt;
  return copy;
}

std::vector<RecoveryCopy> RecoveryStore::orphans() const {
  std::vector<RecoveryCopy> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder_, error)) {
    if (entry.path().extension() != kSuffix) continue;
    auto copy = read(entry.path().string());
    if (copy && !alive(copy->writer)) found.push_back(std::move(*copy));
  }
  return found;
}

}  // namespace movra::editor
