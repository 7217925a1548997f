// Where the running program lives; results such as "out.txt" are written beside it.
#pragma once

#include <string>

namespace movra::platform {

// The full path of the running program, or "" when it cannot be found.
std::string programPath();

// The directory part of a path, with its trailing slash ("/a/b/" for "/a/b/c").
std::string directoryOf(const std::string& path);

}  // namespace movra::platform
