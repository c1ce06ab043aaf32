#include "platform/PathText.h"

#include <vector>

#include "platform/Environment.h"

namespace kelvane::path {

std::string standardize(std::string_view input) {
    std::string absolute;
    if (input.empty() || input.front() != '/') {
        absolute = platform::currentDirectory();
        absolute += '/';
    }
    absolute += input;

    std::vector<std::string_view> parts;
    std::string_view rest(absolute);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        return "/";
    }
    std::string result;
    result.reserve(absolute.size());
    for (const auto part : parts) {
        result += '/';
        result += part;
    }
    return result;
}

std::string_view lastComponent(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') {
        p.remove_suffix(1);
    }
    if (p == "/") {
        return p;
    }
    const auto slash = p.rfind('/');
    return slash == std::string_view::npos ? p : p.substr(slash + 1);
}

std::string deletingLastComponent(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') {
        p.remove_suffix(1);
    }
    const auto slash = p.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(p.substr(0, slash));
}

std::string_view extension(std::string_view p) {
    const auto name = lastComponent(p);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    return name.substr(dot + 1);
}

std::string appending(std::string_view folder, std::string_view component) {
    std::string result(folder);
    if (result.empty() || result.back() != '/') {
        result += '/';
    }
    result += component;
    return result;
}

std::string rebased(std::string_view p, std::string_view root, std::string_view newRoot) {
    std::string result(newRoot == "/" ? std::string_view{} : newRoot);
    result.append(p.substr(root == "/" ? 0 : root.size()));
    return result;
}

bool isSingleComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string lowercasedASCII(std::string_view text) {
    std::string result(text);
    for (auto& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return;
    }
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

}  // namespace kelvane::path
