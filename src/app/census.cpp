#include "app/census.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace movra::app {

namespace {

// Made on the first title and kept to the end, so that the exit handler still
// finds the directory the entry went to even if the environment changed since.
std::unique_ptr<platform::TitleRegistry>& ownRegistry() {
  static std::unique_ptr<platform::TitleRegistry> registry;
  return registry;
}

void withdrawAtExit() {
  withdrawTitle();
}

// The rules alone; the refusal's message, if any, through message.
LaunchCheck judge(const platform::MarkerCounts& counts, const char** message) {
  *message = nullptr;
  if (counts.version > 0) return LaunchCheck::EndSilently;
  if (counts.tryInfo > 0) return LaunchCheck::EndSilently;
  if (counts.calculating > 0) {
    *message = kCalculatingRefusal;
    return LaunchCheck::End;
  }
  if (counts.ended >= kFinishedWindowLimit) {
    *message = kWindowLimitRefusal;
    return LaunchCheck::End;
  }
  return LaunchCheck::Go;
}

}  // namespace

LaunchCheck applyCensus(const platform::MarkerCounts& counts, Reporter& reporter) {
  const char* message = nullptr;
  const LaunchCheck check = judge(counts, &message);
  if (message != nullptr) reporter.notice("%s", message);
  return check;
}

LaunchCheck censusAllowsStart(const platform::TitleRegistry& registry, Reporter& reporter) {
  // Titles in a folder another account can reach say nothing we may trust, and
  // ours would be read there: the start is refused, naming the folder and why.
  if (const std::string why = registry.distrust(); !why.empty()) {
    reporter.notice("%s", why.c_str());
    return LaunchCheck::End;
  }
  const char* message = nullptr;
  LaunchCheck check = LaunchCheck::Go;
  {
    // Counting and claiming are one step for every other starting simulator.
    const platform::RegistryLock held = registry.lock();
    registry.remove(getpid());
    check = judge(registry.countMarkers(), &message);
    if (check == LaunchCheck::Go) publishTitleIn(registry.directory(), kStartingTitle);
  }
  // The box waits for the user: shown only once the others may go on.
  if (message != nullptr) reporter.notice("%s", message);
  if (check != LaunchCheck::Go) registry.removeDirectoryIfEmpty();
  return check;
}

LaunchCheck censusAllowsStart(Reporter& reporter) {
  return censusAllowsStart(platform::TitleRegistry(), reporter);
}

void publishTitleIn(const std::string& directory, const std::string& title) {
  auto& registry = ownRegistry();
  if (registry == nullptr) {
    registry = std::make_unique<platform::TitleRegistry>(directory);
    std::atexit(withdrawAtExit);
  }
  registry->write(getpid(), title);
}

void publishTitle(const std::string& title) {
  publishTitleIn(platform::titleRegistryDirectory(), title);
}

void withdrawTitle() {
  if (const auto& registry = ownRegistry(); registry != nullptr) {
    registry->remove(getpid());
    registry->removeDirectoryIfEmpty();
  }
}

}  // namespace movra::app
