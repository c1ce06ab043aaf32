#pragma once

// `kelvane --screenshots OUTDIR`: renders the screens in light and dark appearance, in the
// states that matter, over fixture data in a temporary home folder of its own, into
// OUTDIR/<section>-<light|dark>[-<state>].png. Scans are held at a known point while their
// progress is shown.

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

#include "AppState.h"

class QQuickWindow;

namespace kelvane::ui {

class UiSupport;

namespace screenshots {

// Makes a temporary home folder with fixture files and points HOME and TMPDIR at it. Call
// before the controller is made.
void prepareHome();
// The controller's options for screenshots: scans can be held at their third report.
ControllerOptions controllerOptions();

// Runs the shots one after another on the event loop, then quits the application.
void run(QQuickWindow& window, AppState& state, UiSupport& ui, const QString& outDir);

}  // namespace screenshots
}  // namespace kelvane::ui
