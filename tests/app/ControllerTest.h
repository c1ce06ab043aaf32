#pragma once

// The controller under test: a real AppState over the test's temporary home folder, with a
// fixture catalogue, a settable clock and short timer intervals, plus a gate that holds a
// scan's background thread at its first progress report.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AppState.h"
#include "HomeTest.h"
#include "TempTree.h"

namespace kelvane::fixture {

// Holds progress reports of the given scan kinds on their background thread until the test
// releases them. Each arming holds one report, the next to come from any thread; reports are
// numbered in the order they are held. The gate starts armed `armed` times.
class ScanGate {
  public:
    ScanGate(std::vector<std::string> kinds, int armed) : kinds_(std::move(kinds)), armed_(armed) {}

    void operator()(std::string_view kind) {
        if (std::find(kinds_.begin(), kinds_.end(), kind) == kinds_.end()) {
            return;
        }
        std::unique_lock lock(mutex_);
        if (armed_ == 0 || all_) {
            return;
        }
        --armed_;
        const int number = arrivals_++;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_.contains(number) || all_; });
    }

    int arrivals() {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }
    void arm() {
        std::lock_guard lock(mutex_);
        ++armed_;
    }
    void release(int number) {
        std::lock_guard lock(mutex_);
        released_.insert(number);
        changed_.notify_all();
    }
    void releaseAll() {
        std::lock_guard lock(mutex_);
        all_ = true;
        changed_.notify_all();
    }

  private:
    std::vector<std::string> kinds_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int armed_ = 0;
    int arrivals_ = 0;
    std::set<int> released_;
    bool all_ = false;
};

class ControllerTest : public HomeTest {
  protected:
    void TearDown() override {
        if (gate_) {
            gate_->releaseAll();
        }
        state.reset();
        HomeTest::TearDown();
    }

    // A catalogue of four rules over folders of the fixture tree.
    std::vector<CleanRule> fixtureRules() const {
        const auto rule = [&](std::string id, RuleGroup group, std::string folder,
                              std::vector<std::string> includes, std::int64_t minAge, bool on,
                              RuleGranularity granularity) {
            CleanRule r;
            r.id = std::move(id);
            r.name = r.id + " rule";
            r.group = group;
            r.path = tree.path(folder);
            r.includes = std::move(includes);
            r.minAgeDays = minAge;
            r.defaultEnabled = on;
            r.granularity = granularity;
            return r;
        };
        return {
            rule("logs", RuleGroup::system, "Logs", {"*.log"}, 7, true, RuleGranularity::files),
            rule("caches", RuleGroup::applications, "Caches", {}, 0, true, RuleGranularity::tree),
            rule("browser", RuleGroup::browsers, "Browser", {"*"}, 0, false,
                 RuleGranularity::files),
            rule("builds", RuleGroup::developer, "Builds", {}, 0, true, RuleGranularity::tree),
        };
    }

    ControllerOptions options() {
        ControllerOptions o;
        o.clock = [this] { return clock; };
        // Long enough never to fire on their own unless a test shortens them.
        o.volumeInterval = std::chrono::hours(1);
        o.scheduleInterval = std::chrono::hours(1);
        o.firstScheduleCheck = std::chrono::hours(1);
        o.quitPollInterval = std::chrono::milliseconds(20);
        o.rules = fixtureRules();
        o.applicationRoots = std::vector<std::string>{tree.path("Applications")};
        return o;
    }

    AppState& start(ControllerOptions o) {
        state = std::make_unique<AppState>(std::move(o));
        QObject::connect(state.get(), &AppState::toastChanged, [this] {
            if (state->toast()) {
                toasts.push_back(*state->toast());
            }
        });
        return *state;
    }
    AppState& start() { return start(options()); }

    // A gate on scans of the given kinds, installed in the options before start.
    ScanGate& gate(ControllerOptions& o, std::vector<std::string> kinds, int armed = 1) {
        gate_ = std::make_shared<ScanGate>(std::move(kinds), armed);
        o.progressProbe = [g = gate_](std::string_view k) { (*g)(k); };
        return *gate_;
    }

    static bool waitUntil(const std::function<bool()>& condition, int ms = 20000) {
        return QTest::qWaitFor(condition, ms);
    }

    // The notice was shown at some point since the controller started.
    bool shown(const std::string& notice) const {
        return std::find(toasts.begin(), toasts.end(), notice) != toasts.end();
    }
    bool waitForNotice(const std::string& notice) {
        return waitUntil([&] { return shown(notice); });
    }
    bool idle() const {
        return !state->isScanning() && !state->isScanningLarge() &&
               !state->isScanningDuplicates() && !state->isCleaning() && !state->isUninstalling() &&
               !state->isLoadingApps();
    }

    Date clock = now();
    std::unique_ptr<AppState> state;
    std::vector<std::string> toasts;

  private:
    std::shared_ptr<ScanGate> gate_;
};

}  // namespace kelvane::fixture
