#pragma once

// Removers for the log sweeper. Both remove a symbolic link itself, never what it points to.

#include <optional>
#include <string>

namespace velkor {

// Removes the file or the folder with everything in it for good. True when the path is gone.
bool RemoveForGood(const std::string& path);

// The user's freedesktop trash folder ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) when it
// exists as a folder; nullopt otherwise.
std::optional<std::string> HomeTrashDir();

// Moves the path into the trash folder `trashDir` in the freedesktop trash layout
// (the item under files/, a .trashinfo record under info/ naming its absolute path and the time).
// False, leaving the path where it was, when the item cannot be moved there (for example because
// the trash lies on another file system).
bool MoveToTrash(const std::string& path, const std::string& trashDir);

// Moves the path to the user's trash when there is one and the move succeeds; otherwise removes it
// for good. True when the path is gone.
bool MoveToTrashOrRemove(const std::string& path);

}  // namespace velkor
