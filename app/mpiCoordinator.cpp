#include "app/mpiCoordinator.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include <mpi.h>

#include "controller/resultCode.h"
#include "engine/monteCarloDriver.h"

namespace {
using resultCode::completed;
using resultCode::failed;
using resultCode::stoppedByUser;

// Agreement takes the worst outcome: a failure outweighs a stop, a stop a
// completed share.
int severityOf(int code) { return code == failed ? 2 : code == stoppedByUser ? 1 : 0; }
int codeOfSeverity(int severity) { return severity == 2 ? failed : severity == 1 ? stoppedByUser : completed; }

constexpr int messageTag = 1;
constexpr int trajectoryTag = 2;
constexpr auto progressInterval = std::chrono::milliseconds(200);

// Large transfers go in pieces: MPI counts are ints, and a receiver that ran
// out of memory still takes every piece, so that no sender waits for ever.
constexpr std::size_t pieceBytes = std::size_t(16) << 20;

void sendBytes(const void* data, std::size_t bytes, int to)
{
    const char* cursor = static_cast<const char*>(data);
    for (std::size_t sent = 0; sent < bytes; sent += pieceBytes) {
        const int piece = static_cast<int>(std::min(pieceBytes, bytes - sent));
        MPI_Send(cursor + sent, piece, MPI_BYTE, to, trajectoryTag, MPI_COMM_WORLD);
    }
}

// Open MPI waits for a collective by spinning on the core. A process that
// waits for the others (they still simulate, or the first one writes the
// outputs) would take a core from them; polling every millisecond leaves it.
void allreduceGently(const void* send, void* receive, int count, MPI_Datatype type, MPI_Op op)
{
    MPI_Request request;
    MPI_Iallreduce(send, receive, count, type, op, MPI_COMM_WORLD, &request);
    for (int done = 0;;) {
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

uint64_t piecesOf(std::size_t bytes) { return (bytes + pieceBytes - 1) / pieceBytes; }

// Receives `bytes` into `data`; returns the number of pieces taken.
uint64_t receiveBytes(void* data, std::size_t bytes, int from)
{
    char* cursor = static_cast<char*>(data);
    for (std::size_t received = 0; received < bytes; received += pieceBytes) {
        const int piece = static_cast<int>(std::min(pieceBytes, bytes - received));
        MPI_Recv(cursor + received, piece, MPI_BYTE, from, trajectoryTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    }
    return piecesOf(bytes);
}

// Takes and drops `pieces` pieces: a receiver that ran out of memory still
// takes everything it was sent, so that the sender never waits for ever.
void drainPieces(uint64_t pieces, int from)
{
    std::vector<char> scratch(pieceBytes);
    for (uint64_t p = 0; p < pieces; ++p)
        MPI_Recv(scratch.data(), static_cast<int>(pieceBytes), MPI_BYTE, from, trajectoryTag, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
}

std::size_t shareSize(std::size_t startCellCount, int rank, int processes)
{
    const std::size_t r = static_cast<std::size_t>(rank);
    const std::size_t p = static_cast<std::size_t>(processes);
    return startCellCount > r ? (startCellCount - r + p - 1) / p : 0;
}
}  // namespace

// mpirun (OMPI_*), PMIx launchers such as srun --mpi=pmix (PMIX_*) and PMI
// launchers (PMI_*) announce themselves in the environment. Started without
// one, a process is a run of its own and MPI is not started at all: a
// singleton start would cost a second or more for nothing.
static bool startedByLauncher()
{
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
        if (qEnvironmentVariableIsSet(name))
            return true;
    return false;
}

mpiCoordinator::mpiCoordinator(int& argc, char**& argv, std::function<void(const QString&)> report)
    : report_(std::move(report)), started_(startedByLauncher())
{
    if (!started_)
        return;
    // The simulation's progress is exchanged from a thread of its own while
    // the main thread waits; no two threads ever call MPI at once.
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

mpiCoordinator::~mpiCoordinator()
{
    if (watcher_.joinable())
        watcher_.join();
    if (started_)
        MPI_Finalize();
}

void mpiCoordinator::keepError(const QString& text)
{
    if (keptError_.isEmpty())
        keptError_ = text;
}

bool mpiCoordinator::sameRequest(uint64_t digest)
{
    if (size_ == 1)
        return true;
    // The largest digest and the largest complement are of one digest only
    // when all are equal.
    const uint64_t local[2] = {digest, ~digest};
    uint64_t largest[2] = {0, 0};
    allreduceGently(local, largest, 2, MPI_UINT64_T, MPI_MAX);
    return largest[0] == ~largest[1];
}

int mpiCoordinator::agree(int localCode)
{
    if (size_ == 1)
        return localCode;
    const int severity = severityOf(localCode);
    int worst = 0;
    allreduceGently(&severity, &worst, 1, MPI_INT, MPI_MAX);
    if (worst != severityOf(failed))
        return codeOfSeverity(worst);

    // The first process to have failed tells why, unless that is the first
    // process itself, which has shown its message already.
    const int mine = localCode == failed ? rank_ : size_;
    int first = size_;
    allreduceGently(&mine, &first, 1, MPI_INT, MPI_MIN);
    if (first == 0 || first == size_)
        return failed;
    if (rank_ == first) {
        const QByteArray text = keptError_.toUtf8();
        MPI_Send(text.constData(), static_cast<int>(text.size()), MPI_CHAR, 0, messageTag, MPI_COMM_WORLD);
    } else if (rank_ == 0) {
        MPI_Status status;
        MPI_Probe(first, messageTag, MPI_COMM_WORLD, &status);
        int length = 0;
        MPI_Get_count(&status, MPI_CHAR, &length);
        QByteArray text(length, '\0');
        MPI_Recv(text.data(), length, MPI_CHAR, first, messageTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        const QString reason = text.isEmpty() ? QStringLiteral("no reason given") : QString::fromUtf8(text);
        report_(QStringLiteral("The process of rank %1 (of %2) failed: %3").arg(first).arg(size_).arg(reason));
    }
    return failed;
}

std::vector<std::size_t> mpiCoordinator::share(std::size_t startCellCount)
{
    std::vector<std::size_t> indices;
    indices.reserve(shareSize(startCellCount, rank_, size_));
    for (std::size_t i = static_cast<std::size_t>(rank_); i < startCellCount; i += static_cast<std::size_t>(size_))
        indices.push_back(i);
    return indices;
}

void mpiCoordinator::simulationStarted(std::function<void(uint64_t)> showProgress, std::function<void()> stopLocal)
{
    showProgress_ = std::move(showProgress);
    stopLocal_ = std::move(stopLocal);
    localProgress_.store(0);
    {
        std::lock_guard<std::mutex> guard(watchLock_);
        localEnded_ = false;
        localCode_ = completed;
    }
    watcher_ = std::thread([this] { watchSimulation(); });
}

void mpiCoordinator::localProgress(uint64_t finished) { localProgress_.store(finished, std::memory_order_relaxed); }

// Every few tenths of a second all processes add up their progress, how many
// are still simulating and how many ended badly; one that failed or was
// stopped stops the others, so that nobody simulates for a run already lost.
void mpiCoordinator::watchSimulation()
{
    bool stopAsked = false;
    bool endSeen = false;
    for (;;) {
        uint64_t local[3] = {localProgress_.load(), 1, 0};
        {
            std::lock_guard<std::mutex> guard(watchLock_);
            if (localEnded_) {
                local[1] = 0;
                local[2] = localCode_ != completed ? 1 : 0;
            }
        }
        uint64_t all[3] = {0, 0, 0};
        allreduceGently(local, all, 3, MPI_UINT64_T, MPI_SUM);
        if (rank_ == 0 && showProgress_)
            showProgress_(all[0]);
        if (all[2] > 0 && !stopAsked) {
            stopAsked = true;
            stopLocal_();
        }
        if (all[1] == 0)
            return;
        std::unique_lock<std::mutex> lock(watchLock_);
        watchWake_.wait_for(lock, progressInterval, [&] { return localEnded_ && !endSeen; });
        endSeen = localEnded_;
    }
}

int mpiCoordinator::simulationEnded(int localCode)
{
    {
        std::lock_guard<std::mutex> guard(watchLock_);
        localEnded_ = true;
        localCode_ = localCode;
    }
    watchWake_.notify_all();
    watcher_.join();
    return agree(localCode);
}

// Combines a grid's cells onto the first process by `op`, in pieces.
template <typename T>
static void reduceCells(T* cells, std::size_t cellCount, MPI_Datatype type, MPI_Op op, int rank)
{
    constexpr std::size_t piece = std::size_t(1) << 26;
    for (std::size_t done = 0; done < cellCount; done += piece) {
        const int n = static_cast<int>(std::min(piece, cellCount - done));
        if (rank == 0)
            MPI_Reduce(MPI_IN_PLACE, cells + done, n, type, op, 0, MPI_COMM_WORLD);
        else
            MPI_Reduce(cells + done, nullptr, n, type, op, 0, MPI_COMM_WORLD);
    }
}

void mpiCoordinator::sumCounts(int32_t* counts, std::size_t cellCount)
{
    reduceCells(counts, cellCount, MPI_INT32_T, MPI_SUM, rank_);
}

void mpiCoordinator::combine(propagationOutput& result)
{
    sumCounts(result.passageCounts.data(), result.passageCounts.size());
    sumCounts(result.reachingStartCells.data(), result.reachingStartCells.size());
    // Maxima and integer sums: the same whichever process holds which trajectory.
    intensityGrids& intensity = result.intensity;
    reduceCells(intensity.heightMax.data(), intensity.heightMax.size(), MPI_DOUBLE, MPI_MAX, rank_);
    reduceCells(intensity.heightSum.data(), intensity.heightSum.size(), MPI_INT64_T, MPI_SUM, rank_);
    reduceCells(intensity.energyMax.data(), intensity.energyMax.size(), MPI_DOUBLE, MPI_MAX, rank_);
    frequencyGrids& frequencies = result.frequencies;
    reduceCells(frequencies.any.data(), frequencies.any.size(), MPI_INT64_T, MPI_SUM, rank_);
    for (grid<int64_t>& sums : frequencies.atLeast)
        reduceCells(sums.data(), sums.size(), MPI_INT64_T, MPI_SUM, rank_);
    for (grid<int32_t>& counts : intensity.classCounts)
        sumCounts(counts.data(), counts.size());
    runOutStatistics& runOuts = result.runOuts;
    reduceCells(&runOuts.longestRunOut, 1, MPI_DOUBLE, MPI_MAX, rank_);
    reduceCells(&runOuts.trajectories, 1, MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(&runOuts.stayedInStartCell, 1, MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(runOuts.runOutCounts.data(), runOuts.runOutCounts.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(runOuts.travelAngleCounts.data(), runOuts.travelAngleCounts.size(), MPI_UINT64_T, MPI_SUM, rank_);
    // Counts of disjoint start cells: their sums are those of one process.
    sumObjectTotals(result.objectTotals);
    combineMeasureEffects(result);
    gatherTrajectories(result);
}

void mpiCoordinator::sumObjectTotals(objectReachTotals& objects)
{
    reduceCells(objects.trajectories.data(), objects.trajectories.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(objects.startCells.data(), objects.startCells.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(objects.startCellTrajectories.data(), objects.startCellTrajectories.size(), MPI_UINT32_T, MPI_SUM,
                rank_);
}

// The grids without the measures as those with them; each barrier's energy
// counts grow to the longest any process holds before they are summed.
void mpiCoordinator::combineMeasureEffects(propagationOutput& result)
{
    unprotectedGrids& unprotected = result.unprotected;
    sumCounts(unprotected.passageCounts.data(), unprotected.passageCounts.size());
    sumCounts(unprotected.reachingStartCells.data(), unprotected.reachingStartCells.size());
    reduceCells(unprotected.energyMax.data(), unprotected.energyMax.size(), MPI_DOUBLE, MPI_MAX, rank_);
    reduceCells(unprotected.frequencies.any.data(), unprotected.frequencies.any.size(), MPI_INT64_T, MPI_SUM, rank_);
    for (grid<int64_t>& sums : unprotected.frequencies.atLeast)
        reduceCells(sums.data(), sums.size(), MPI_INT64_T, MPI_SUM, rank_);
    sumObjectTotals(unprotected.objects);
    barrierTotals& barriers = result.barriers;
    reduceCells(barriers.reached.data(), barriers.reached.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(barriers.stopped.data(), barriers.stopped.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(barriers.startCells.data(), barriers.startCells.size(), MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(barriers.largestEnergy.data(), barriers.largestEnergy.size(), MPI_DOUBLE, MPI_MAX, rank_);
    reduceCells(&barriers.stoppedInForest, 1, MPI_UINT64_T, MPI_SUM, rank_);
    reduceCells(&barriers.stoppedByBarriers, 1, MPI_UINT64_T, MPI_SUM, rank_);
    for (std::vector<uint64_t>& counts : barriers.energyCounts) {
        const uint64_t mine = counts.size();
        uint64_t longest = 0;
        allreduceGently(&mine, &longest, 1, MPI_UINT64_T, MPI_MAX);
        counts.resize(static_cast<std::size_t>(longest), 0);
        reduceCells(counts.data(), counts.size(), MPI_UINT64_T, MPI_SUM, rank_);
    }
}

// Each process holds its trajectories and their origins. The first process
// takes them in turn and lays them out by origin: start cell in file order,
// then simulation.
void mpiCoordinator::gatherTrajectories(propagationOutput& result)
{
    const int held = result.trajectories.empty() ? 0 : 1;
    int anyHeld = 0;
    allreduceGently(&held, &anyHeld, 1, MPI_INT, MPI_MAX);
    if (anyHeld == 0)
        return;

    if (rank_ != 0) {
        std::vector<uint64_t> lengths;
        lengths.reserve(result.trajectories.size());
        uint64_t header[2] = {result.trajectories.size(), 0};  // trajectories, pieces to follow
        for (const auto& points : result.trajectories) {
            lengths.push_back(points.size());
            header[1] += piecesOf(points.size() * sizeof(trajectoryPoint));
        }
        header[1] += piecesOf(lengths.size() * sizeof(uint64_t));
        header[1] += piecesOf(lengths.size() * sizeof(trajectoryOrigin));
        MPI_Send(header, 2, MPI_UINT64_T, 0, trajectoryTag, MPI_COMM_WORLD);
        sendBytes(lengths.data(), lengths.size() * sizeof(uint64_t), 0);
        sendBytes(result.trajectoryOrigins.data(), lengths.size() * sizeof(trajectoryOrigin), 0);
        for (const auto& points : result.trajectories)
            sendBytes(points.data(), points.size() * sizeof(trajectoryPoint), 0);
        result.trajectories.clear();
        result.trajectoryOrigins.clear();
        return;
    }

    std::vector<trajectoryList> byProcess(static_cast<std::size_t>(size_));
    std::vector<std::vector<trajectoryOrigin>> originsByProcess(static_cast<std::size_t>(size_));
    byProcess[0] = std::move(result.trajectories);
    originsByProcess[0] = std::move(result.trajectoryOrigins);
    bool outOfMemory = false;
    for (int from = 1; from < size_; ++from) {
        uint64_t header[2] = {0, 0};
        MPI_Recv(header, 2, MPI_UINT64_T, from, trajectoryTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        uint64_t received = 0;
        try {
            if (outOfMemory)
                throw std::bad_alloc();
            std::vector<uint64_t> lengths(header[0]);
            received += receiveBytes(lengths.data(), lengths.size() * sizeof(uint64_t), from);
            std::vector<trajectoryOrigin>& origins = originsByProcess[static_cast<std::size_t>(from)];
            origins.resize(lengths.size());
            received += receiveBytes(origins.data(), origins.size() * sizeof(trajectoryOrigin), from);
            trajectoryList& list = byProcess[static_cast<std::size_t>(from)];
            list.reserve(lengths.size());
            for (const uint64_t length : lengths) {
                list.emplace_back(length);
                received += receiveBytes(list.back().data(), length * sizeof(trajectoryPoint), from);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            byProcess[static_cast<std::size_t>(from)] = trajectoryList();
            originsByProcess[static_cast<std::size_t>(from)] = {};
            drainPieces(header[1] - received, from);
        }
    }
    if (outOfMemory)
        throw std::bad_alloc();

    struct heldTrajectory
    {
        trajectoryOrigin origin;
        std::size_t process;
        std::size_t index;
    };
    std::vector<heldTrajectory> ordered;
    for (std::size_t p = 0; p < originsByProcess.size(); ++p)
        for (std::size_t i = 0; i < originsByProcess[p].size() && i < byProcess[p].size(); ++i)
            ordered.push_back({originsByProcess[p][i], p, i});
    std::sort(ordered.begin(), ordered.end(), [](const heldTrajectory& a, const heldTrajectory& b) {
        return a.origin.startCellIndex < b.origin.startCellIndex
               || (a.origin.startCellIndex == b.origin.startCellIndex && a.origin.simulation < b.origin.simulation);
    });
    result.trajectories.clear();
    result.trajectoryOrigins.clear();
    result.trajectories.reserve(ordered.size());
    result.trajectoryOrigins.reserve(ordered.size());
    for (const heldTrajectory& h : ordered) {
        result.trajectories.push_back(std::move(byProcess[h.process][h.index]));
        result.trajectoryOrigins.push_back(h.origin);
    }
}
