#pragma once

// Text operations on path strings; none of them touches the disk.

#include <string>
#include <string_view>

namespace kelvane::path {

// Drops empty and "." components, lets each ".." remove the component before it (".." at the
// root stays at the root) and leaves no trailing "/" except for the root itself. The input is
// made absolute against the current working folder first.
std::string standardize(std::string_view path);

// The last component ("/" for the root; trailing "/" ignored).
std::string_view lastComponent(std::string_view path);
// The path without its last component: "/a/b" → "/a", "/a" → "/", "a" → "".
std::string deletingLastComponent(std::string_view path);
// The text after the last "." of the last component, or empty when there is none or the name
// only begins with ".".
std::string_view extension(std::string_view path);
std::string appending(std::string_view folder, std::string_view component);

// `p`, which lies inside `root`, with `root` replaced by `newRoot` ("/" handled on both sides).
std::string rebased(std::string_view p, std::string_view root, std::string_view newRoot);

// A name that is one component of a path: not empty, no "/", not "." or "..", no NUL. Texts read
// from files must pass this before they become part of a path.
bool isSingleComponent(std::string_view name);

std::string lowercasedASCII(std::string_view text);
void replaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace kelvane::path
