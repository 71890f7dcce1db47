#include "controller/runMemory.h"

#include <limits>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(__linux__)
#include <unistd.h>
#endif

std::uint64_t estimatedRunBytes(int nrows, int ncols, std::uint64_t extraBytesPerCell)
{
    if (nrows <= 0 || ncols <= 0)
        return 0;
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    // Two positive ints multiply without overflow in 64 bits; the bytes may not.
    const std::uint64_t cells = static_cast<std::uint64_t>(nrows) * static_cast<std::uint64_t>(ncols);
    if (extraBytesPerCell > most - runBytesPerCell)
        return most;
    const std::uint64_t bytesPerCell = runBytesPerCell + extraBytesPerCell;
    if (cells > most / bytesPerCell)
        return most;
    return cells * bytesPerCell;
}

std::uint64_t physicalMemoryBytes()
{
#if defined(_WIN32)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status))
        return static_cast<std::uint64_t>(status.ullTotalPhys);
    return 0;
#elif defined(__linux__)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return 0;
#else
    return 0;
#endif
}

bool fitsInMemory(std::uint64_t neededBytes, std::uint64_t physicalBytes)
{
    return physicalBytes == 0 || neededBytes <= physicalBytes;
}
