#pragma once

// The words and options of one kelvane-cli command: positional words in order, options that
// take a value (repeatable), and flags. Anything the command does not know is a usage error
// that names it.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvane::cli {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    std::set<std::string> flags;   // "--json", "--yes", …
    std::set<std::string> valued;  // "--root", "--min-mb", …
};

class Arguments {
  public:
    // `words` are the command's arguments after its name. Throws UsageError.
    static Arguments parse(const std::vector<std::string>& words, const OptionSpec& known);

    const std::vector<std::string>& positional() const { return positional_; }
    bool flag(const std::string& name) const { return flags_.contains(name); }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
    // The option's value as a whole number within [min, max]; `fallback` when absent.
    std::int64_t number(const std::string& name, std::int64_t fallback, std::int64_t min,
                        std::int64_t max) const;
    // The positional word at `index`, or a usage error naming `what` when it is missing.
    const std::string& word(std::size_t index, const std::string& what) const;
    // A usage error when more than `count` positional words were given.
    void atMost(std::size_t count) const;

  private:
    std::vector<std::string> positional_;
    std::set<std::string> flags_;
    std::map<std::string, std::vector<std::string>> values_;
};

// A whole number in [min, max], or a usage error naming `what`.
std::int64_t parseNumber(const std::string& text, const std::string& what, std::int64_t min,
                         std::int64_t max);

}  // namespace kelvane::cli
