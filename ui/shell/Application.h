#pragma once

namespace kelvane::ui {

// Runs the desktop application until it quits; returns the exit status.
int runApplication(int argc, char** argv);

}  // namespace kelvane::ui
