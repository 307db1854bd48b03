#pragma once
// Worker threads. A press never waits for the work it starts: every worker runs
// detached on a thread of its own. The count of running workers lets tests wait
// for quiet and lets the program give stragglers a moment at exit.
//
// A worker must own what it uses (shared_ptr to AppState and to the Ui): the
// program does not wait for workers when the main window closes.
#include <functional>
#include <string>

namespace velkor {

// Starts `work` on a new detached thread; false when no thread could be made
// (nothing runs then). An exception escaping `work` ends that worker alone and
// is reported on standard error under `name`.
bool start_thread(std::string name, std::function<void()> work);

// Workers started by start_thread that have not yet returned.
int running_workers();

// Waits until no worker runs or timeout_ms have passed; true when idle.
bool wait_idle(int timeout_ms);

}  // namespace velkor
