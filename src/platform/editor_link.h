// The messages the simulator sends its editor: a data word and a text, over a Unix
// datagram socket in the runtime directory named by the editor's id.
#pragma once

#include <string>
#include <vector>

namespace movra::platform {

inline constexpr int kEditorMessageBytes = 65536;

// Data words the simulator sends: the view window (fields 1..3 of ".vc"), the ten
// scales (fields 4..13), and an error as 1000 or 2000 plus its record's index.
inline constexpr int kViewWindowReport = 3;
inline constexpr int kScalesReport = 4;
inline bool isErrorReport(int dataWord) { return dataWord >= 1000 && dataWord < 3000; }
inline int errorRecord(int dataWord) { return dataWord % 1000; }

struct EditorMessage {
  int dataWord = 0;
  std::string text;
  long sender = 0;  // the sending process, 0 when the kernel did not say
};

// The per-user directory for sockets and the instance registry:
// $XDG_RUNTIME_DIR/movra, else /tmp/movra-<uid>; created with mode 0700.
std::string runtimeDirectory();
// "" when runtimeDirectory() is a real folder of this user with no access for
// others (made when missing), else why it is not used. Nothing is put into or
// read from a folder that fails this: under /tmp another account may have made it.
std::string runtimeDirectoryDistrust();

// Removes the sockets that editors of this user left when they were killed: a
// socket of ours whose id no living process has (or this process, before it binds).
void removeDeadEditorSockets();

// The editor's side: a socket bound for the lifetime of this object.
class EditorMailbox {
 public:
  EditorMailbox();
  ~EditorMailbox();
  EditorMailbox(const EditorMailbox&) = delete;
  EditorMailbox& operator=(const EditorMailbox&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Why the mailbox could not be opened, when the reason is an untrusted folder
  // or socket ("" otherwise).
  const std::string& refusal() const { return refusal_; }
  // The decimal id to pass to the simulator (argument 4).
  const std::string& id() const { return id_; }
  // Every message that has arrived, without waiting.
  std::vector<EditorMessage> takeMessages();

 private:
  int fd_ = -1;
  std::string id_;
  std::string path_;
  std::string refusal_;
};

// The simulator's side: sends one message; false when no editor listens there
// (the message is lost, as the simulator does not need to know), and false
// without sending when the socket there is not this user's own private one.
bool sendToEditor(const std::string& editorId, int dataWord, const char* text);

}  // namespace movra::platform
