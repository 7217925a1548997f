// Recovery copies of what the editor holds, so that a crash or a killed session
// loses nothing: one file per open model under $XDG_STATE_HOME/movra/recovery
// (~/.local/state/movra/recovery), named by the model's base name and a hash of
// its full path, so that two models of the same name never share a copy. Each
// copy says which file it belongs to and which editor process wrote it. No Qt.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace movra::editor {

struct RecoveryCopy {
  std::string copyPath;   // the recovery file
  std::string modelPath;  // the model it belongs to; empty for an untitled buffer
  long writer = 0;        // the editor process that wrote it
  std::string text;       // the buffer's text
};

class RecoveryStore {
 public:
  // The default folder; a store over another folder for tests.
  RecoveryStore();
  explicit RecoveryStore(std::string folder);
  const std::string& folder() const { return folder_; }

  // Where the copy of a model (or of untitled buffer number `untitled`) goes.
  std::string copyPathFor(const std::string& modelPath, int untitled = 0) const;

  // Writes the copy (private to the user, replaced atomically); false on failure.
  bool write(const std::string& modelPath, int untitled, const std::string& text) const;
  void remove(const std::string& modelPath, int untitled = 0) const;

  // The copy of a model that is worth offering: written by an editor that is no
  // longer running, or by this one, and newer than the model file (or the model is gone).
  std::optional<RecoveryCopy> offerFor(const std::string& modelPath) const;

  // Copies left by editors that are no longer running (a crash, a killed session).
  std::vector<RecoveryCopy> orphans() const;

  static std::optional<RecoveryCopy> read(const std::string& copyPath);

 private:
  std::string folder_;
};

}  // namespace movra::editor
