// A small pool of worker threads with a bounded queue: Submit blocks while
// the queue is full, so that a producer cannot run far ahead of the
// workers (each queued job may hold a large picture). In a build without
// threads a job runs in Submit, on the calling thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "Threads.h"

namespace anivert {

class TWorkQueue {
public:
    // Threads 0 means one per hardware thread. At most QueueLimit jobs wait
    // besides the ones running (0: twice the number of threads).
    explicit TWorkQueue(unsigned Threads = 0, std::size_t QueueLimit = 0) {
        if (Threads == 0) Threads = HardwareThreads();
        FLimit = QueueLimit ? QueueLimit : 2 * static_cast<std::size_t>(Threads);
        if constexpr (HasThreads) {
            try {
                for (unsigned I = 0; I < Threads; ++I) FWorkers.emplace_back([this] { Work(); });
            } catch (...) {
                Finish();
                throw;
            }
        }
    }
    // Jobs not yet started are dropped (their futures report a broken
    // promise); running ones finish.
    ~TWorkQueue() { Finish(); }
    TWorkQueue(const TWorkQueue&) = delete;
    TWorkQueue& operator=(const TWorkQueue&) = delete;

    // The worker threads (0 in a build without threads).
    unsigned Threads() const { return static_cast<unsigned>(FWorkers.size()); }

    // Runs Fn on a worker; its result or exception comes through the future.
    template <class F>
    std::future<std::invoke_result_t<F>> Submit(F&& Fn) {
        using R = std::invoke_result_t<F>;
        auto Task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(Fn));
        std::future<R> Result = Task->get_future();
        if (FWorkers.empty()) {
            (*Task)();
            return Result;
        }
        {
            std::unique_lock Lock(FMutex);
            FHasRoom.wait(Lock, [this] { return FJobs.size() < FLimit; });
            FJobs.emplace_back([Task] { (*Task)(); });
        }
        FHasWork.notify_one();
        return Result;
    }

private:
    void Work() {
        for (;;) {
            std::function<void()> Job;
            {
                std::unique_lock Lock(FMutex);
                FHasWork.wait(Lock, [this] { return FStopping || !FJobs.empty(); });
                if (FStopping) return;
                Job = std::move(FJobs.front());
                FJobs.pop_front();
            }
            FHasRoom.notify_one();
            Job();
        }
    }

    void Finish() {
        {
            std::lock_guard Lock(FMutex);
            FStopping = true;
            FJobs.clear();
        }
        FHasWork.notify_all();
        FHasRoom.notify_all();
        for (std::thread& W : FWorkers) W.join();
        FWorkers.clear();
    }

    std::mutex FMutex;
    std::condition_variable FHasWork;
    std::condition_variable FHasRoom;
    std::deque<std::function<void()>> FJobs;
    std::size_t FLimit = 0;
    bool FStopping = false;
    std::vector<std::thread> FWorkers;
};

}  // namespace anivert
