#pragma once

// Copying an item (a file or a whole folder tree) between open folders so that the copy is the
// item: content with its holes, modes, times, extended attributes, ownership where this
// process may set it, hard links among its files, links as links, FIFOs and sockets as
// themselves. And removing an item relative to an open folder without following links.

#include <string>
#include <system_error>

namespace kelvane::platform {

// Copies `name` in `from` to the new name `toName` in `to`. Before anything is written it is
// also checked, entry by entry, that the source can be removed whole afterwards: every folder
// writable, no immutable or append-only flag, no other file system mounted inside, no device
// node. On any failure the partial copy is removed and the source is untouched.
std::error_code copyTree(int from, const std::string& name, int to, const std::string& toName);

// Removes an entry and, for a folder, everything in it, relative to `folder`; links are
// removed, never followed. Goes on after a failure and returns the first one.
std::error_code removeTree(int folder, const std::string& name);

}  // namespace kelvane::platform
