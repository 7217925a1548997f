#include "note/model_file_text.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace movra::note {

bool readBoundedFile(const std::string& path, size_t limit, std::string& bytes, std::string& why) {
  bytes.clear();
  // Without O_NONBLOCK the open of a named pipe would wait for a writer for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = S_ISDIR(info.st_mode) ? "a directory" : "not a regular file";
    close(fd);
    return false;
  }
  char buffer[65536];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = std::strerror(errno);
      close(fd);
      return false;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > limit) {
      why = "longer than " + std::to_string(limit) + " bytes";
      close(fd);
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

int lineAt(std::string_view text, size_t position) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + position, '\n'));
}

std::string hexByte(char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto b = static_cast<unsigned char>(c);
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 15];
}

// Offset of the first byte that breaks UTF-8 (overlong forms and surrogates
// included), or npos.
size_t firstInvalidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t code = 0;
    uint32_t lowest = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, code = lead & 0x1F, lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code = lead & 0x0F, lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code = lead & 0x07, lowest = 0x10000;
    } else {
      return i;
    }
    if (text.size() - i < length) return i;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
    i += length;
  }
  return std::string_view::npos;
}

// Converts code page 932 to UTF-8; on failure badOffset is the first byte not converted.
bool convertCp932(std::string_view in, std::string& out, size_t& badOffset) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  badOffset = 0;
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  // One CP932 byte never takes more than three UTF-8 bytes.
  out.assign(in.size() * 3 + 4, '\0');
  char* inPointer = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPointer = out.data();
  size_t outLeft = out.size();
  const size_t converted = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(converter);
  badOffset = static_cast<size_t>(inPointer - in.data());
  if (converted == static_cast<size_t>(-1)) return false;
  out.resize(out.size() - outLeft);
  return true;
}

}  // namespace

bool decodeFileText(std::string_view raw, std::string& text, std::vector<FileError>& errors) {
  const size_t badUtf8 = firstInvalidUtf8(raw);
  if (badUtf8 == std::string_view::npos) {
    if (raw.starts_with(kBom)) raw.remove_prefix(kBom.size());
    text.assign(raw);
  } else {
    size_t badCp932 = 0;
    if (!convertCp932(raw, text, badCp932)) {
      std::string message = "the file is not UTF-8 (byte " + hexByte(raw[badUtf8]) +
                            " on this line) and not code page 932 either";
      if (badCp932 < raw.size()) {
        message += " (byte " + hexByte(raw[badCp932]) + " on line " +
                   std::to_string(lineAt(raw, badCp932)) + ")";
      }
      errors.push_back({lineAt(raw, badUtf8), message});
      return false;
    }
  }
  // The simulator's text ends at a zero byte and its lines at CR LF.
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') {
      errors.push_back({lineAt(text, i), "a zero byte in the model file"});
      return false;
    }
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
      errors.push_back({lineAt(text, i), "a carriage return that does not end a line"});
      return false;
    }
  }
  return true;
}

}  // namespace movra::note
