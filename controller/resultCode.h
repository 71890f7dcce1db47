#pragma once

// How a run ended, as the controller reports it, the processes of a shared
// run agree on it and tumbra-run exits with it.
namespace resultCode {
enum value : int { completed = 0, failed = 1, stoppedByUser = 2 };
}  // namespace resultCode
