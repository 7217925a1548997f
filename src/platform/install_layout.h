// Where the programs' shared files are and where a run's results go. The layout
// is the same in an installation (PREFIX/bin and PREFIX/share/movra) and in a
// build tree (build/bin and build/share/movra, linked to the clone), so nothing
// here knows the source tree.
#pragma once

#include <string>

namespace movra::platform {

// The folder of the shared files beside the programs in programDirectory
// ("<bin>/../share/movra/", the path from bin to it fixed when the program is
// built), with its trailing slash; "" when there is none.
std::string dataDirectory(const std::string& programDirectory);

// The material tables of an installation: dataDirectory() + "materials/", or "".
std::string materialsDirectory(const std::string& programDirectory);

// Where a run without a batch folder writes out.txt, with its trailing slash.
// Programs that come with their shared files (an installation, the build tree)
// never write among them: results go to the user's data folder,
// $XDG_DATA_HOME/movra/results/MODEL/ (else ~/.local/share/...). Programs on
// their own in a folder keep writing beside themselves, where an editor that
// starts the simulator itself looks for out.txt. The folder is not made here.
std::string resultsDirectory(const std::string& programDirectory, const std::string& modelName);

}  // namespace movra::platform
