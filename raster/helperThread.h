#pragma once

#include <exception>
#include <functional>
#include <thread>

// Runs a piece of work on a second thread while the caller does its own half.
// When no thread can be had (the system refuses one), the work is done at
// join() on the calling thread instead, so a caller never needs a fallback of
// its own. The thread is joined however the caller leaves, and an exception
// thrown by the work is raised again by join().
class helperThread
{
public:
    explicit helperThread(std::function<void()> work);
    ~helperThread();
    helperThread(const helperThread&) = delete;
    helperThread& operator=(const helperThread&) = delete;

    void join();

private:
    void run();

    std::function<void()> work_;
    std::exception_ptr failure_;
    std::thread thread_;
    bool done_ = false;
};
