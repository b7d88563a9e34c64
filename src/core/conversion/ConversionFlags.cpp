#include "core/conversion/ConversionFlags.h"

#include "core/conversion/EngineProcess.h"

void EngineSlot::Add(EngineProcess *process)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_processes.push_back(process);
    if (m_suspended)
        process->Suspend(true);
}

void EngineSlot::Remove(EngineProcess *process)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase(m_processes, process);
}

bool EngineSlot::Kill()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_processes.empty())
        return false;
    for (EngineProcess *process : m_processes)
        process->Kill();
    m_processes.clear();
    return true;
}

void EngineSlot::Suspend(bool suspended)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_suspended = suspended;
    for (EngineProcess *process : m_processes)
        process->Suspend(suspended);
}

bool EngineSlot::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_processes.empty();
}

void ConversionFlags::SetPaused(bool paused)
{
    engine.Suspend(paused);
    clock.SetPaused(paused);
}

