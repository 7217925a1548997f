// Shared memory, /tmp and the runtime folder are open to every account on the
// machine, so anything of ours that we find already there may have been made by
// someone else to read our models or steer our runs. Such an object is used only
// when it is of the kind we expect, belongs to this user and gives nobody else
// any access; links are never followed.
#pragma once

#include <sys/stat.h>

#include <string>

namespace movra::platform {

enum class ObjectKind { SharedBlock, Folder, File, Socket };

// "" when info (from fstat or lstat) shows a trusted object of that kind, else the
// refusal in the program's words, naming path and the reason: a link, the wrong
// kind, another owner (with its uid), or access for group or others (with the mode).
std::string distrustOf(const struct stat& info, ObjectKind kind, const std::string& path);

// The refusal for an object that is a symbolic link where none belongs.
std::string linkRefusal(ObjectKind kind, const std::string& path);

// The refusal for a private object of ours whose name is taken by another run.
std::string inUseRefusal(ObjectKind kind, const std::string& path);

// "" when results may be written into the folder at path: after links are
// followed (the real folder is put into resolved), a folder of this user or of
// root that no other account may write into, unless its sticky bit keeps others
// from replacing or removing what we put there (as in /tmp). Else why not: an
// account that may write there could swap our results or plant links for them.
std::string outputFolderDistrust(const std::string& path, std::string& resolved);

// Makes path a folder of mode 0700 when nothing is there; "" when what is there
// now is a real folder (not a link) of this user with no access for others,
// else why it is not used.
std::string ensurePrivateFolder(const std::string& path);

}  // namespace movra::platform
