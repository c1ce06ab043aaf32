#include "BackgroundWork.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kelvane::app {

MainThreadQueue::MainThreadQueue(QObject* parent) : QObject(parent) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        // Without a wake-up the controller could never apply a result; nothing sensible remains.
        std::perror("kelvane: eventfd");
        std::abort();
    }
    notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
}

MainThreadQueue::~MainThreadQueue() {
    delete notifier_;
    ::close(wakeFd_);
}

void MainThreadQueue::post(std::function<void()> function) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(function));
    }
    const std::uint64_t one = 1;
    // A full counter (never in practice) still leaves the descriptor readable.
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void MainThreadQueue::drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof count);
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
    }
    for (auto& function : batch) {
        function();
    }
}

WorkerPool::WorkerPool(int maxThreads) : maxThreads_(maxThreads < 1 ? 1 : maxThreads) {}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        jobs_.clear();
        for (auto& thread : threads_) {
            thread.request_stop();
        }
    }
    wake_.notify_all();
    threads_.clear();  // joins
}

void WorkerPool::start(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    // Every waiting job needs an idle thread of its own, or long scans would queue behind
    // each other.
    if (jobs_.size() > static_cast<std::size_t>(idle_) &&
        static_cast<int>(threads_.size()) < maxThreads_) {
        threads_.emplace_back([this](std::stop_token stop) { work(stop); });
    } else {
        wake_.notify_one();
    }
}

void WorkerPool::work(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        ++idle_;
        wake_.wait(lock, stop, [this] { return !jobs_.empty(); });
        --idle_;
        if (stop.stop_requested() || jobs_.empty()) {
            break;
        }
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // its captures go before the next job starts
        lock.lock();
    }
}

}  // namespace kelvane::app
