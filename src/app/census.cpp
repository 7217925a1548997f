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

}  // namespace

LaunchCheck applyCensus(const platform::MarkerCounts& counts, Reporter& reporter) {
  if (counts.version > 0) return LaunchCheck::EndSilently;
  if (counts.tryInfo > 0) return LaunchCheck::EndSilently;
  if (counts.calculating > 0) {
    reporter.notice("%s", kCalculatingRefusal);
    return LaunchCheck::End;
  }
  if (counts.ended >= kFinishedWindowLimit) {
    reporter.notice("%s", kWindowLimitRefusal);
    return LaunchCheck::End;
  }
  return LaunchCheck::Go;
}

LaunchCheck censusAllowsStart(const platform::TitleRegistry& registry, Reporter& reporter) {
  registry.remove(getpid());
  return applyCensus(registry.countMarkers(), reporter);
}

LaunchCheck censusAllowsStart(Reporter& reporter) {
  return censusAllowsStart(platform::TitleRegistry(), reporter);
}

void publishTitle(const std::string& title) {
  auto& registry = ownRegistry();
  if (registry == nullptr) {
    registry = std::make_unique<platform::TitleRegistry>();
    std::atexit(withdrawAtExit);
  }
  registry->write(getpid(), title);
}

void withdrawTitle() {
  if (const auto& registry = ownRegistry(); registry != nullptr) {
    registry->remove(getpid());
    registry->removeDirectoryIfEmpty();
  }
}

}  // namespace movra::app
