#pragma once

// The catalogue of cleaning rules shipped as the read-only resource "rules.json", with three
// built-in rules to fall back on when it is missing, unreadable, malformed or empty.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/CleanRule.h"

namespace kelvane::RuleCatalogue {

// The shipped catalogue's rules in file order, or the fallback. Never fails.
std::vector<CleanRule> bundled();
// The rules of the catalogue file at `path`, or the fallback when it cannot be used.
std::vector<CleanRule> rulesOrFallback(const std::string& path);
// The rules of the catalogue file at `path`; an empty list stays empty. Throws
// FileSystemError when the file cannot be read, json::DecodeError when it does not decode.
std::vector<CleanRule> load(const std::string& path);
// Decodes a catalogue document ({"version": integer, "rules": [...]}).
std::vector<CleanRule> decode(std::string_view text);
const std::vector<CleanRule>& fallback();
// The first rule whose id equals `id` exactly.
std::optional<CleanRule> rule(std::string_view id, const std::vector<CleanRule>& rules);

}  // namespace kelvane::RuleCatalogue
