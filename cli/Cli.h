#pragma once

// What every kelvane-cli command shares: its parsed arguments and output mode, the
// controller it runs its flow through, and the output helpers.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "AppState.h"
#include "CommandLine.h"
#include "support/Json.h"

namespace kelvane::cli {

// The operation failed: its sentence goes to standard error (or under "error" with --json)
// and the exit status is 1.
class OperationError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Context {
    Arguments args;
    bool json = false;
    bool quiet = false;
    bool yes = false;
};

// The options of a command's controller: its timers never fire during a command, so no
// scheduled scan starts inside one.
ControllerOptions commandOptions();

// The catalogue of --rules FILE, when given, whose rule choices are then not saved over the
// user's. Throws OperationError when the file cannot be used.
void useCatalogue(const Context& context, ControllerOptions& options);

// One command's controller on the process's event loop.
class Session {
  public:
    explicit Session(ControllerOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    AppState& state() { return *state_; }
    // Runs `start`, then the event loop until the controller shows a notice: every
    // operation of the controller ends with one. Returns it.
    std::string runUntilNotice(const std::function<void()>& start);
    void runUntil(const std::function<bool()>& done);

  private:
    std::unique_ptr<AppState> state_;
    std::optional<std::string> notice_;
};

void printJson(const json::Json& document);
// A notice for people: on standard output after the result.
void printNotice(const Context& context, const std::string& notice);

// Columns aligned by display width; the flagged columns align to the right.
class Table {
  public:
    explicit Table(std::vector<bool> rightAligned) : right_(std::move(rightAligned)) {}
    void add(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    bool empty() const { return rows_.empty(); }
    void print(std::ostream& out, const std::string& indent = "") const;

  private:
    std::vector<bool> right_;
    std::vector<std::vector<std::string>> rows_;
};

// Asks before moving or deleting; throws OperationError when the answer is no or when there
// is no terminal to ask and --yes was not given.
void requireConfirmation(const Context& context, const std::string& question);

// "1.2 GB in 345 items"
std::string amount(std::int64_t bytes, std::int64_t items);
// The path made absolute against the working folder and standardised.
std::string absolutePath(const std::string& path);

}  // namespace kelvane::cli
