// The pieces of the protocol below the methods: message framing, file URIs, and
// columns in UTF-16 code units as the protocol counts them.
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace movra::language::lsp {

// One framed message read from the input.
struct Frame {
  enum class Status { kMessage, kEnd, kBadHeader, kTooLarge };
  Status status = Status::kEnd;
  std::string body;
  size_t length = 0;  // the Content-Length given
  std::string problem;
};

// Reads "Content-Length: N" (other headers are passed over), the blank line and N
// bytes. A body longer than limit is read past without being kept.
Frame readFrame(std::istream& in, size_t limit);

void writeFrame(std::ostream& out, std::string_view body);

// "file:///a%20b/c.model" -> "/a b/c.model"; nullopt for other schemes.
std::optional<std::string> pathOfUri(std::string_view uri);
std::string uriOfPath(std::string_view path);

// A column of a UTF-8 line in UTF-16 code units and back (clamped to the line).
int utf16Column(std::string_view line, int byteColumn);
int byteColumn(std::string_view line, int utf16Column);

// The byte offset of a (line, UTF-16 column) position in a whole text, clamped to it.
size_t offsetOf(std::string_view text, int line, int utf16Column);

}  // namespace movra::language::lsp
