#include "platform/SafeMove.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TreeCopy.h"

namespace kelvane::platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

}  // namespace

std::error_code renameNoReplace(int from, const std::string& name, int to,
                                const std::string& toName) {
    if (::renameat2(from, name.c_str(), to, toName.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL) {
        return lastError();
    }
    struct stat st {};
    if (::fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return lastError();
    }
    if (!S_ISDIR(st.st_mode) && ::linkat(from, name.c_str(), to, toName.c_str(), 0) == 0) {
        if (::unlinkat(from, name.c_str(), 0) != 0) {
            const auto error = lastError();
            ::unlinkat(to, toName.c_str(), 0);
            return error;
        }
        return {};
    }
    if (!S_ISDIR(st.st_mode) && errno == EEXIST) {
        return lastError();
    }
    // No hard links either, or a folder (a rename can replace only an empty folder).
    if (identityAt(to, toName)) {
        return std::make_error_code(std::errc::file_exists);
    }
    if (::renameat(from, name.c_str(), to, toName.c_str()) != 0) {
        return lastError();
    }
    return {};
}

MoveOutcome moveAt(int from, const std::string& name, int to, const std::string& toName,
                   const std::function<bool()>& onCopied) {
    MoveOutcome outcome;
    outcome.error = renameNoReplace(from, name, to, toName);
    if (outcome.error.value() != EXDEV || outcome.error.category() != std::generic_category()) {
        return outcome;
    }
    outcome.error = copyTree(from, name, to, toName);
    if (outcome.error) {
        return outcome;
    }
    if (onCopied && !onCopied()) {
        removeTree(to, toName);
        outcome.error = std::make_error_code(std::errc::io_error);
        return outcome;
    }
    outcome.copied = true;
    outcome.leftBehind = removeTree(from, name);
    return outcome;
}

}  // namespace kelvane::platform
