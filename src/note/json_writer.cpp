#include "note/json_writer.h"

#include <cmath>
#include <cstdio>

namespace movra::note {

void JsonWriter::separate() {
  if (needComma_) out_ += ',';
  needComma_ = false;
}

void JsonWriter::beginObject() {
  separate();
  out_ += '{';
}

void JsonWriter::endObject() {
  out_ += '}';
  needComma_ = true;
}

void JsonWriter::beginArray() {
  separate();
  out_ += '[';
}

void JsonWriter::endArray() {
  out_ += ']';
  needComma_ = true;
}

void JsonWriter::key(std::string_view name) {
  value(name);
  out_ += ':';
  needComma_ = false;
}

void JsonWriter::value(std::string_view text) {
  separate();
  out_ += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out_ += escaped;
        } else {
          out_ += c;
        }
    }
  }
  out_ += '"';
  needComma_ = true;
}

void JsonWriter::value(double number) {
  if (!std::isfinite(number)) {
    null();
    return;
  }
  separate();
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", number);
  out_ += text;
  needComma_ = true;
}

void JsonWriter::value(int number) {
  separate();
  out_ += std::to_string(number);
  needComma_ = true;
}

void JsonWriter::value(bool flag) {
  separate();
  out_ += flag ? "true" : "false";
  needComma_ = true;
}

void JsonWriter::null() {
  separate();
  out_ += "null";
  needComma_ = true;
}

}  // namespace movra::note
