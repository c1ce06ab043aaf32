#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace kelvane {

// A file-system operation that failed as a whole; what() is a sentence for the user.
class FileSystemError : public std::runtime_error {
  public:
    FileSystemError(std::string description, std::error_code code)
        : std::runtime_error(std::move(description)), code_(code) {}

    static FileSystemError creatingFolder(const std::string& path, std::error_code code);
    static FileSystemError reading(const std::string& path, std::error_code code);
    static FileSystemError writing(const std::string& path, std::error_code code);

    std::error_code code() const { return code_; }

  private:
    std::error_code code_;
};

}  // namespace kelvane
