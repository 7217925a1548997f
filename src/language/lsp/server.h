// "movra-note lsp": the Language Server Protocol over standard input and output, a
// thin layer that turns the protocol's messages into calls of the language library
// and its answers back into JSON.
#pragma once

#include <istream>
#include <ostream>

namespace movra::language::lsp {

// Serves until the client's "exit" or the end of the input; returns the process
// exit code (0 after a shutdown request, 1 otherwise). Nothing the client sends
// (broken framing, bad JSON, unknown methods, huge documents) ends it early.
int serve(std::istream& in, std::ostream& out, std::ostream& log);

// The largest document analysed; a larger one gets one diagnostic saying so.
inline constexpr size_t kLargestDocument = 2u << 20;
// The largest message read at all; a larger body is skipped unread.
inline constexpr size_t kLargestMessage = 64u << 20;

}  // namespace movra::language::lsp
