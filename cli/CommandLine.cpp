#include "CommandLine.h"

#include <charconv>

namespace kelvane::cli {

Arguments Arguments::parse(const std::vector<std::string>& words, const OptionSpec& known) {
    Arguments args;
    bool onlyWords = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto& word = words[i];
        if (onlyWords || word.size() < 2 || word.rfind("-", 0) != 0) {
            args.positional_.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyWords = true;
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const auto eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
            name = word.substr(0, eq);
            inlineValue = word.substr(eq + 1);
        }
        if (known.flags.contains(name) && !inlineValue) {
            args.flags_.insert(name);
        } else if (known.valued.contains(name)) {
            if (inlineValue) {
                args.values_[name].push_back(*inlineValue);
            } else if (i + 1 < words.size()) {
                args.values_[name].push_back(words[++i]);
            } else {
                throw UsageError(name + " needs a value");
            }
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return args;
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::int64_t Arguments::number(const std::string& name, std::int64_t fallback, std::int64_t min,
                               std::int64_t max) const {
    const auto text = value(name);
    return text ? parseNumber(*text, name, min, max) : fallback;
}

const std::string& Arguments::word(std::size_t index, const std::string& what) const {
    if (index >= positional_.size()) {
        throw UsageError("missing " + what);
    }
    return positional_[index];
}

void Arguments::atMost(std::size_t count) const {
    if (positional_.size() > count) {
        throw UsageError("unexpected argument '" + positional_[count] + "'");
    }
}

std::int64_t parseNumber(const std::string& text, const std::string& what, std::int64_t min,
                         std::int64_t max) {
    std::int64_t number = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end) {
        throw UsageError(what + ": expected a whole number, got '" + text + "'");
    }
    if (number < min || number > max) {
        throw UsageError(what + ": " + text + " is out of range (" + std::to_string(min) + " to " +
                         std::to_string(max) + ")");
    }
    return number;
}

}  // namespace kelvane::cli
