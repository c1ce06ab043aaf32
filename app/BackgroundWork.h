#pragma once

// The controller's threads: a pool for long work and a queue that brings results back to the
// main thread. Both hand work over under std::mutex, so every hand-over is visible to
// ThreadSanitizer (Qt's own locks are not, and report false races).

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

class QSocketNotifier;

namespace kelvane::app {

// Functions queued from any thread and run, in order, on the thread that made the queue, by
// its event loop. Functions still queued when the queue goes away are dropped.
class MainThreadQueue : public QObject {
  public:
    explicit MainThreadQueue(QObject* parent = nullptr);
    ~MainThreadQueue() override;
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    void post(std::function<void()> function);

  private:
    void drain();

    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
};

// Threads for long work. A job runs on an idle thread, or on a new one while fewer than
// `maxThreads` exist; otherwise it waits its turn. With one thread, jobs run one after another
// in the order they were started. Destruction waits for running jobs and drops waiting ones.
class WorkerPool {
  public:
    explicit WorkerPool(int maxThreads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void start(std::function<void()> job);

  private:
    void work(const std::stop_token& stop);

    int maxThreads_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> jobs_;
    int idle_ = 0;
    std::vector<std::jthread> threads_;
};

// The handle of one running background task: its identity, so a completion can tell whether
// it still belongs to the newest task of its kind, and its cancellation flag.
struct TaskHandle {
    std::uint64_t id = 0;
    std::stop_source stop;
    bool isLive() const { return !stop.stop_requested(); }
};

}  // namespace kelvane::app
