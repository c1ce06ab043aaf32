#include "Cli.h"

#include <QEventLoop>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "Terminal.h"
#include "model/Format.h"
#include "model/RuleCatalogue.h"
#include "platform/PathText.h"

namespace kelvane::cli {

ControllerOptions commandOptions() {
    ControllerOptions options;
    // About three weeks: the longest a QTimer takes, far beyond any command.
    const auto never = std::chrono::milliseconds(2'000'000'000);
    options.volumeInterval = never;
    options.scheduleInterval = never;
    options.firstScheduleCheck = never;
    options.toastLife = never;
    return options;
}

void useCatalogue(const Context& context, ControllerOptions& options) {
    if (const auto file = context.args.value("--rules")) {
        try {
            options.rules = RuleCatalogue::load(*file);
        } catch (const std::exception& error) {
            throw OperationError(error.what());
        }
        options.saveSettings = false;
    }
}

Session::Session(ControllerOptions options)
    : state_(std::make_unique<AppState>(std::move(options))) {
    QObject::connect(state_.get(), &AppState::toastChanged, [this] {
        if (state_->toast()) {
            notice_ = *state_->toast();
        }
    });
}

Session::~Session() = default;

std::string Session::runUntilNotice(const std::function<void()>& start) {
    notice_.reset();
    start();
    runUntil([this] { return notice_.has_value(); });
    return *notice_;
}

void Session::runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    while (!done()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void printJson(const json::Json& document) {
    std::cout << document.dump(2, ' ', false, json::Json::error_handler_t::replace) << "\n";
}

void printNotice(const Context& context, const std::string& notice) {
    if (!context.json) {
        std::cout << notice << "\n";
    }
}

namespace {

// Code points, which is what a terminal shows for most text.
std::size_t displayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void Table::print(std::ostream& out, const std::string& indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], displayWidth(row[i]));
        }
    }
    for (const auto& row : rows_) {
        std::string line = indent;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const auto pad = std::string(widths[i] - displayWidth(row[i]), ' ');
            const bool right = i < right_.size() && right_[i];
            const bool last = i + 1 == row.size();
            line += right ? pad + row[i] : (last ? row[i] : row[i] + pad);
            if (!last) {
                line += "  ";
            }
        }
        out << line << "\n";
    }
}

void requireConfirmation(const Context& context, const std::string& question) {
    switch (confirm(question, context.yes)) {
        case Answer::yes:
            return;
        case Answer::no:
            throw OperationError("Nothing was changed.");
        case Answer::noTerminal:
            throw OperationError(
                "Not confirmed: there is no terminal to ask. Add --yes to go ahead.");
    }
}

std::string amount(std::int64_t bytes, std::int64_t items) {
    return Format::bytes(bytes) + " in " + Format::fileCount(items);
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path::standardize(path);
    }
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        return path::standardize("/" + path);
    }
    cwd.resize(std::char_traits<char>::length(cwd.c_str()));
    return path::standardize(cwd + "/" + path);
}

}  // namespace kelvane::cli
