#include "Terminal.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>

namespace kelvane::cli {

bool isTerminal(int fd) {
    return ::isatty(fd) == 1;
}

ProgressLine::ProgressLine(bool quiet)
    : enabled_(!quiet && isTerminal(STDERR_FILENO)), started_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::show(const std::string& text) {
    if (!enabled_) {
        return;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started_)
                             .count();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    std::cerr << "\r\033[K" << text << "  " << elapsed << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    if (shown_) {
        std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }
}

Answer confirm(const std::string& question, bool yes) {
    if (yes) {
        return Answer::yes;
    }
    if (!isTerminal(STDIN_FILENO)) {
        return Answer::noTerminal;
    }
    std::cerr << question << " [y/N] " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) {
        std::cerr << "\n";
        return Answer::no;
    }
    return (reply == "y" || reply == "Y" || reply == "yes" || reply == "Yes") ? Answer::yes
                                                                              : Answer::no;
}

namespace {

int interruptPipe[2] = {-1, -1};
std::atomic<int> interrupts{0};

extern "C" void onSigint(int) {
    if (interrupts.fetch_add(1) > 0) {
        ::_exit(130);  // the second Ctrl-C: at once
    }
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(interruptPipe[1], &byte, 1);
}

}  // namespace

InterruptHandler::InterruptHandler(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    if (interruptPipe[0] < 0 && ::pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // Ctrl-C then simply ends the process
    }
    interrupts = 0;
    notifier_ = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(interruptPipe[0], &byte, 1) > 0) {
        }
        if (onInterrupt_) {
            onInterrupt_();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSigint;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
}

InterruptHandler::~InterruptHandler() {
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
}

}  // namespace kelvane::cli
