#pragma once

// A temporary folder tree for one test, inside the test's temporary home folder:
//   TempTree tree; tree.file("a/b.log", 4096, 10); tree.link("l", "a"); tree.package("X.app");

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::fixture {

class TempTree {
  public:
    // A fresh folder below the home folder (or below `parent` when given).
    explicit TempTree(const std::string& parent = {});
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const;

    // A regular file of `bytes` bytes of real (non-zero) data, its parents created, modified
    // `daysOld` days ago when given.
    std::string file(const std::string& relative, std::size_t bytes = 0,
                     std::optional<double> daysOld = std::nullopt);
    std::string folder(const std::string& relative);
    // The same for an absolute path anywhere (inside the temporary home).
    static void writeFile(const std::string& path, std::size_t bytes,
                          std::optional<double> daysOld);
    std::string link(const std::string& relative, const std::string& target);
    std::string hardlink(const std::string& relative, const std::string& existingRelative);
    // A bundle folder holding one file of `bytes` bytes.
    std::string package(const std::string& relative, std::size_t bytes = 8192);
    void age(const std::string& relative, double days);
    void chmod(const std::string& relative, unsigned mode);

  private:
    std::string root_;
};

// Makes `home` the home folder, with every XDG base folder inside it, and puts the previous
// values back when it goes: nothing a test does reaches the real home or XDG folders.
class ScopedHome {
  public:
    explicit ScopedHome(const std::string& home);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;
    static void set(const std::string& home);

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Removes a tree, making unreadable folders readable first.
void removeTree(const std::string& path);

// Runs `work` in a child process as the unprivileged user "nobody" and returns its result, or
// nothing when privileges cannot be dropped (the caller skips the test then). When the tests
// do not run as root, `work` runs directly.
std::optional<std::int64_t> runUnprivileged(const std::function<std::int64_t()>& work);

// Runs `work` in this process and in a forked copy at the same time (work(true) in the copy).
// The copy never returns into the test: it leaves through _exit, so it cannot tear down fixtures
// the parent still uses. Returns the copy's exit status: 0 when its work finished without
// throwing.
int inTwoProcesses(const std::function<void(bool inChild)>& work);

// The fixture folders must be reachable by the unprivileged user.
void openUpForOthers(const std::string& path);

}  // namespace kelvane::fixture
