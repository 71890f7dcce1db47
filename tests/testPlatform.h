#pragma once

#include <csignal>

#include <sys/resource.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Root ignores file permissions, so tests of unwritable files skip as root.
inline bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

// A file size limit plays a full disk: writes past it fail as on a full volume.
class fileSizeLimit
{
public:
    explicit fileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &original_);
        rlimit tight = original_;
        tight.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~fileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &original_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    rlimit original_{};
    void (*handler_)(int);
};
