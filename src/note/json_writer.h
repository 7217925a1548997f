// A small streaming JSON writer for the stand-in's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace movra::note {

class JsonWriter {
 public:
  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  void key(std::string_view name);
  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(double number);  // NaN and infinities become null
  void value(int number);
  void value(bool flag);
  void null();

  template <typename T>
  void field(std::string_view name, const T& v) {
    key(name);
    value(v);
  }

  const std::string& text() const { return out_; }

 private:
  void separate();
  std::string out_;
  bool needComma_ = false;
};

}  // namespace movra::note
