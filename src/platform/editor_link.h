// The messages the simulator sends its editor: a data word and a text, over a Unix
// datagram socket in the runtime directory named by the editor's id.
#pragma once

#include <string>
#include <vector>

namespace movra::platform {

inline constexpr int kEditorMessageBytes = 65536;

struct EditorMessage {
  int dataWord = 0;
  std::string text;
};

// The per-user directory for sockets and the instance registry:
// $XDG_RUNTIME_DIR/movra, else /tmp/movra-<uid>; created with mode 0700.
std::string runtimeDirectory();

// The editor's side: a socket bound for the lifetime of this object.
class EditorMailbox {
 public:
  EditorMailbox();
  ~EditorMailbox();
  EditorMailbox(const EditorMailbox&) = delete;
  EditorMailbox& operator=(const EditorMailbox&) = delete;

  bool ok() const { return fd_ >= 0; }
  // The decimal id to pass to the simulator (argument 4).
  const std::string& id() const { return id_; }
  // Every message that has arrived, without waiting.
  std::vector<EditorMessage> takeMessages();

 private:
  int fd_ = -1;
  std::string id_;
  std::string path_;
};

// The simulator's side: sends one message; false when no editor listens there
// (the message is lost, as the simulator does not need to know).
bool sendToEditor(const std::string& editorId, int dataWord, const char* text);

}  // namespace movra::platform
