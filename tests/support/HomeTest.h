#pragma once

// A test fixture with a fresh home folder of its own: HOME and the XDG base folders point into
// `tree.root()` for the test's life, so Kelvane's folders and every home-relative place start
// out absent.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "TempTree.h"

namespace kelvane::fixture {

class HomeTest : public ::testing::Test {
  protected:
    void SetUp() override { home_ = std::make_unique<ScopedHome>(tree.root()); }
    void TearDown() override { home_.reset(); }

    TempTree tree;

  private:
    std::unique_ptr<ScopedHome> home_;
};

}  // namespace kelvane::fixture
