#include "language/lsp/protocol.h"

#include <charconv>

namespace movra::language::lsp {
namespace {

constexpr std::string_view kLengthHeader = "content-length:";

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Bytes of the UTF-8 sequence led by c (1 for a stray continuation byte).
int sequenceBytes(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

}  // namespace

Frame readFrame(std::istream& in, size_t limit) {
  Frame frame;
  std::optional<size_t> length;
  std::string line;
  bool sawHeader = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      if (!sawHeader) continue;  // blank lines between messages
      break;
    }
    sawHeader = true;
    const std::string header = lower(line);
    if (!header.starts_with(kLengthHeader)) continue;
    std::string_view value = std::string_view(line).substr(kLengthHeader.size());
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    size_t n = 0;
    const auto [end, code] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (code != std::errc() || end != value.data() + value.size()) {
      frame.status = Frame::Status::kBadHeader;
      frame.problem = "Content-Length '" + std::string(value) + "' is not a byte count";
      // Resynchronise at the next blank line.
      while (std::getline(in, line) && !(line.empty() || line == "\r")) {
      }
      return frame;
    }
    length = n;
  }
  if (!sawHeader) return frame;  // end of input
  if (!length) {
    frame.status = Frame::Status::kBadHeader;
    frame.problem = "a message without a Content-Length header";
    return frame;
  }
  frame.length = *length;
  if (*length > limit) {
    frame.status = Frame::Status::kTooLarge;
    in.ignore(static_cast<std::streamsize>(*length));
    return frame;
  }
  frame.body.resize(*length);
  in.read(frame.body.data(), static_cast<std::streamsize>(*length));
  if (static_cast<size_t>(in.gcount()) != *length) {
    frame.status = Frame::Status::kEnd;
    return frame;
  }
  frame.status = Frame::Status::kMessage;
  return frame;
}

void writeFrame(std::ostream& out, std::string_view body) {
  out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
  out.flush();
}

std::optional<std::string> pathOfUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (!uri.starts_with(kScheme)) return std::nullopt;
  uri.remove_prefix(kScheme.size());
  std::string path;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size()) {
      int value = 0;
      const auto [end, code] = std::from_chars(uri.data() + i + 1, uri.data() + i + 3, value, 16);
      if (code == std::errc() && end == uri.data() + i + 3) {
        path += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    path += uri[i];
  }
  return path;
}

std::string uriOfPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[u >> 4];
      uri += kHex[u & 15];
    }
  }
  return uri;
}

int utf16Column(std::string_view line, int byteColumn) {
  int units = 0;
  size_t i = 0;
  const size_t end = std::min(line.size(), static_cast<size_t>(std::max(byteColumn, 0)));
  while (i < end) {
    const int bytes = sequenceBytes(static_cast<unsigned char>(line[i]));
    units += bytes == 4 ? 2 : 1;
    i += static_cast<size_t>(bytes);
  }
  return units;
}

int byteColumn(std::string_view line, int utf16Column) {
  int units = 0;
  size_t i = 0;
  while (i < line.size() && units < utf16Column) {
    const int bytes = sequenceBytes(static_cast<unsigned char>(line[i]));
    units += bytes == 4 ? 2 : 1;
    i = std::min(line.size(), i + static_cast<size_t>(bytes));
  }
  return static_cast<int>(i);
}

size_t offsetOf(std::string_view text, int line, int utf16Column) {
  size_t start = 0;
  for (int l = 0; l < line; ++l) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return text.size();
    start = end + 1;
  }
  size_t end = text.find('\n', start);
  if (end == std::string_view::npos) end = text.size();
  return start + static_cast<size_t>(byteColumn(text.substr(start, end - start), utf16Column));
}

}  // namespace movra::language::lsp
