#pragma once

// A test fixture with a fresh home folder of its own: HOME points at `tree.root()` for the
// test's life, so the support folder and every home-relative place start out absent.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TempTree.h"

namespace kelvane::fixture {

class HomeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = std::getenv("HOME");
        ::setenv("HOME", tree.root().c_str(), 1);
    }
    void TearDown() override { ::setenv("HOME", saved_.c_str(), 1); }

    TempTree tree;

  private:
    std::string saved_;
};

}  // namespace kelvane::fixture
