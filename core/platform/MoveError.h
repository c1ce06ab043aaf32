#pragma once

// Why a move, copy or restore was refused, beyond what the system's own error numbers say; and
// the sentence-ready reason for any error of these operations.

#include <string>
#include <system_error>

namespace kelvane::platform {

enum class MoveError {
    protectedByFlags = 1,  // an immutable or append-only entry
    folderNotWritable,     // a folder whose entries this process may not remove
    mountInside,           // another file system is mounted inside the item
    deviceInside,          // a device node, which a copy could not make
    changedMeanwhile,      // an entry was replaced between its check and the action
    parentMoved,           // the folder holding the item is no longer where it was checked
};

const std::error_category& moveErrorCategory();

inline std::error_code make_error_code(MoveError error) {
    return {static_cast<int>(error), moveErrorCategory()};
}

// A reason to follow "could not be moved: " — lower-case, without the final full stop.
std::string moveErrorReason(std::error_code error);

}  // namespace kelvane::platform

template <>
struct std::is_error_code_enum<kelvane::platform::MoveError> : std::true_type {};
