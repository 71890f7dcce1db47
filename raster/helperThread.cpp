#include "raster/helperThread.h"

#include <system_error>

helperThread::helperThread(std::function<void()> work) : work_(std::move(work))
{
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to be had: join() does the work.
    }
}

helperThread::~helperThread()
{
    if (thread_.joinable())
        thread_.join();
}

void helperThread::join()
{
    if (thread_.joinable())
        thread_.join();
    else if (!done_)
        run();
    if (failure_)
        std::rethrow_exception(failure_);
}

void helperThread::run()
{
    done_ = true;
    try {
        work_();
    } catch (...) {
        failure_ = std::current_exception();
    }
}
