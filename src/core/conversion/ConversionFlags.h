#pragma once
#include <atomic>
#include <mutex>
#include <vector>

#include "core/conversion/RunClock.h"

class EngineProcess;

// The running engines, shared between the run (which starts and ends them) and Stop
// Convert or Pause on another thread.
class EngineSlot
{
public:
    // An engine added while the slot is suspended is suspended at once.
    void Add(EngineProcess *process);
    void Remove(EngineProcess *process);
    // Kills every engine in the slot and empties it; false when there was none.
    bool Kill();
    void Suspend(bool suspended);
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::vector<EngineProcess *> m_processes;
    bool m_suspended = false;
};

// Run flags shared by the commands and the run.
struct ConversionFlags
{
    std::atomic<bool> converting{false};
    std::atomic<bool> selectedOnly{false};
    std::atomic<bool> stopRequested{false};
    EngineSlot engine;
    RunClock clock;

    // Pause stops the engines where they are and the run's clock with them.
    void SetPaused(bool paused);
    bool IsPaused() const { return clock.IsPaused(); }
};

