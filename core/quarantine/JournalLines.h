#pragma once

// What the clean and restore journals share: whole-line appends and the identity of a file in
// JSON.

#include <functional>
#include <optional>
#include <string>

#include "platform/OpenFolder.h"
#include "support/Json.h"

namespace kelvane::journal {

// Appends one JSON line in a single write, so a process killed meanwhile leaves whole lines;
// with `flush` the line is on disk before this returns. Whether it was written whole.
bool appendLine(int fd, const json::Json& line, bool flush);

// Calls `line` with each line of a journal's text that decodes; a damaged line (the last one
// of a crash, say) is passed over, as is one `line` rejects by throwing: the disk decides.
void forEachLine(const std::string& text, const std::function<void(const json::Json&)>& line);

json::Json identityJson(const platform::FileIdentity& identity);
// The identity under `key` of a journal line, or nothing when it is absent or damaged.
std::optional<platform::FileIdentity> identityFromJson(const json::Json& line, const char* key);

}  // namespace kelvane::journal
