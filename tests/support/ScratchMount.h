#pragma once

// A small tmpfs mounted over a fresh temporary folder for one test, so moves between it and
// the home folder cross file systems. Mounting needs privileges: `mounted()` says whether it
// worked, and the test skips with the reason otherwise.

#include <string>

#include "TempTree.h"

namespace kelvane::fixture {

class ScratchMount {
  public:
    explicit ScratchMount(const std::string& size = "64m");
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return mounted_; }
    TempTree& tree() { return tree_; }
    static constexpr const char* skipReason =
        "mounting a tmpfs needs privileges this run does not have";

  private:
    TempTree tree_;
    bool mounted_ = false;
};

}  // namespace kelvane::fixture
