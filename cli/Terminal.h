#pragma once

// What kelvane-cli does with a terminal: the one-line progress display on standard error,
// the question before anything is moved or deleted, and Ctrl-C during a scan.

#include <QObject>

#include <chrono>
#include <functional>
#include <string>

class QSocketNotifier;

namespace kelvane::cli {

bool isTerminal(int fd);

// One line on standard error, rewritten in place, with the time since it was made. Shows
// nothing unless standard error is a terminal and the user did not ask for quiet.
class ProgressLine {
  public:
    explicit ProgressLine(bool quiet);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    void show(const std::string& text);
    void clear();

  private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point started_;
};

// Asks `question` + " [y/N] " on the terminal. Without a terminal nothing is asked and the
// answer is no unless `yes`.
enum class Answer { yes, no, noTerminal };
Answer confirm(const std::string& question, bool yes);

// While it lives, the first Ctrl-C calls `onInterrupt` on the main thread (to cancel the scan
// cooperatively) and a second one ends the process at once.
class InterruptHandler : public QObject {
  public:
    explicit InterruptHandler(std::function<void()> onInterrupt);
    ~InterruptHandler() override;
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

  private:
    std::function<void()> onInterrupt_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvane::cli
