// The instance census at the very start of the simulator: another simulator still
// calculating, or ten finished ones, keep a new one from starting. Also this
// process's own entry in the title registry, which the census of others reads.
#pragma once

#include <string>

#include "app/hand_over.h"
#include "input/report.h"
#include "platform/instance_registry.h"

namespace movra::app {

using platform::kFinishedWindowLimit;

inline constexpr const char* kCalculatingRefusal = "　先のファイルを計算中　\n";
inline constexpr const char* kWindowLimitRefusal = "タスクバーの movra のボタンは１０まで";

// The rules over counted titles, in their order: a version title or a
// "_try-info_" title ends start-up silently, a calculating simulator and ten
// finished ones end it with a message.
LaunchCheck applyCensus(const platform::MarkerCounts& counts, Reporter& reporter);

// A simulator that passed the census counts as calculating until its window has
// a title, so that one started just after it is refused as it would be a moment
// later.
inline constexpr const char* kStartingTitle = "starting     _on-cal_";

// Counts the titles of this user's running simulators and applies the rules; on
// success claims this process's place with kStartingTitle, all under the
// registry's lock. Call before this process publishes its first title: an entry
// under our own process id can only be a leftover of a dead process whose id we
// inherited, so it is removed instead of counted.
LaunchCheck censusAllowsStart(Reporter& reporter);
LaunchCheck censusAllowsStart(const platform::TitleRegistry& registry, Reporter& reporter);

// Makes title this process's current title for the census of others; the entry
// goes away when the process exits normally (a crash leaves it to the census).
void publishTitle(const std::string& title);
// The same into the registry in directory (the first call chooses it for good).
void publishTitleIn(const std::string& directory, const std::string& title);
// Removes this process's entry now.
void withdrawTitle();

}  // namespace movra::app
