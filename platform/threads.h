#pragma once

#include <functional>

// The processors this process may run on (Linux: its affinity mask, so `taskset -c 0` gives 1;
// Windows: its affinity mask within its processor group). At least 1.
unsigned UsableProcessorCount();

// Runs `work` once on each of `count` threads and returns when every one has returned. The
// calling thread is one of them; with `count` <= 1 no thread is started. A thread the system
// cannot start (no memory, a small address-space limit) is left out, so `work` must share its
// items through a common queue rather than expect `count` runs. The threads started here have
// every asynchronous signal blocked (POSIX), so signals reach the calling thread only: the
// handlers that give the terminal back see its state as it left it.
void RunOnThreads(unsigned count, const std::function<void()>& work);
