#pragma once

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
