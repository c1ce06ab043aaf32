#include "platform/MoveError.h"

#include <cctype>
#include <cerrno>

namespace kelvane::platform {

namespace {

class MoveErrorCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "kelvane.move"; }
    std::string message(int value) const override {
        switch (static_cast<MoveError>(value)) {
            case MoveError::protectedByFlags:
                return "part of it is marked immutable or append-only, so it could not be "
                       "removed from its place";
            case MoveError::folderNotWritable:
                return "part of it is in a folder you may not change, so it could not be "
                       "removed from its place";
            case MoveError::mountInside:
                return "another file system is mounted inside it";
            case MoveError::deviceInside:
                return "it holds a device file, which cannot be copied";
            case MoveError::changedMeanwhile:
                return "it was replaced while it was being moved";
            case MoveError::parentMoved:
                return "the folder holding it moved while it was being checked";
        }
        return "it could not be moved";
    }
};

}  // namespace

const std::error_category& moveErrorCategory() {
    static const MoveErrorCategory category;
    return category;
}

std::string moveErrorReason(std::error_code error) {
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        if (error.value() == ELOOP || error.value() == ENOTDIR) {
            return "a folder on its way is no longer a folder; it may have become a symbolic link";
        }
        if (error.value() == ENAMETOOLONG) {
            return "its name is too long for the folder it goes to";
        }
    }
    auto text = error.message();
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

}  // namespace kelvane::platform
