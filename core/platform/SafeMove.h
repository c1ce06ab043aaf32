#pragma once

// Moves between folders held open (see OpenFolder.h) that never replace anything: a rename
// with RENAME_NOREPLACE, or across file systems a faithful copy (TreeCopy.h) followed by the
// removal of the source, which starts only once the copy is whole and on disk.

#include <functional>
#include <string>
#include <system_error>

#include "platform/MoveError.h"
#include "platform/OpenFolder.h"

namespace kelvane::platform {

// Renames `name` in `from` to `toName` in `to` only when nothing is there (EEXIST otherwise).
// A file system without RENAME_NOREPLACE gets a hard link and an unlink for files, so the
// answer stays atomic; folders are renamed after a check.
std::error_code renameNoReplace(int from, const std::string& name, int to,
                                const std::string& toName);

struct MoveOutcome {
    // Set when nothing was moved: the source is whole where it was and no copy is left.
    std::error_code error;
    // Moved by copying across file systems.
    bool copied = false;
    // The copy is whole at the destination, but part of the source could not be removed; what
    // remains of it stays where it was.
    std::error_code leftBehind;
};

// Moves `name` in `from` to the new name `toName` in `to`. Across file systems `onCopied` (when
// given) is called once the copy is whole and on disk, before anything of the source is
// removed; when it returns false the copy is removed again and the move fails.
MoveOutcome moveAt(int from, const std::string& name, int to, const std::string& toName,
                   const std::function<bool()>& onCopied = {});

}  // namespace kelvane::platform
