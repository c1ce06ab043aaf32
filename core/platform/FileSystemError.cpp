#include "platform/FileSystemError.h"

#include "platform/PathText.h"

namespace kelvane {

namespace {

std::string reason(std::error_code code) {
    auto text = code.message();
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

}  // namespace

FileSystemError FileSystemError::creatingFolder(const std::string& path, std::error_code code) {
    return {"The folder “" + std::string(path::lastComponent(path)) +
                "” could not be created: " + reason(code) + ".",
            code};
}

FileSystemError FileSystemError::reading(const std::string& path, std::error_code code) {
    return {"The file “" + std::string(path::lastComponent(path)) +
                "” could not be read: " + reason(code) + ".",
            code};
}

FileSystemError FileSystemError::writing(const std::string& path, std::error_code code) {
    return {"The file “" + std::string(path::lastComponent(path)) +
                "” could not be saved: " + reason(code) + ".",
            code};
}

}  // namespace kelvane
