#include "quarantine/JournalLines.h"

#include <unistd.h>

#include <cerrno>
#include <sstream>

namespace kelvane::journal {

bool appendLine(int fd, const json::Json& line, bool flush) {
    const auto text = line.dump(-1, ' ', false, json::Json::error_handler_t::replace) + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return !flush || ::fdatasync(fd) == 0;
}

void forEachLine(const std::string& text, const std::function<void(const json::Json&)>& line) {
    std::istringstream lines(text);
    std::string one;
    while (std::getline(lines, one)) {
        try {
            line(json::parse(one));
        } catch (const std::exception&) {
        }
    }
}

json::Json identityJson(const platform::FileIdentity& identity) {
    return json::Json{{"device", identity.device}, {"inode", identity.inode}};
}

std::optional<platform::FileIdentity> identityFromJson(const json::Json& line, const char* key) {
    if (!line.is_object() || !line.contains(key)) {
        return std::nullopt;
    }
    const auto& value = line.at(key);
    if (!value.is_object() || !value.contains("device") || !value.contains("inode") ||
        !value.at("device").is_number_unsigned() || !value.at("inode").is_number_unsigned()) {
        return std::nullopt;
    }
    return platform::FileIdentity{value.at("device").get<std::uint64_t>(),
                                  value.at("inode").get<std::uint64_t>()};
}

}  // namespace kelvane::journal
