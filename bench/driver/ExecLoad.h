// An editor client that calls Exec in a tight loop on a thread of its own,
// from its construction until Stop, to load the shell's GUI thread with
// automation calls while the ticks are timed. Pause holds the loop after the
// call in progress, Resume lets it go on.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

#include "UniqueHandle.h"

namespace bench {

class ExecLoad {
public:
    explicit ExecLoad(const CLSID& clsid);
    ~ExecLoad() { Stop(); }
    ExecLoad(const ExecLoad&) = delete;
    ExecLoad& operator=(const ExecLoad&) = delete;

    // Waits until the client has its object (or failed); true if it has.
    bool WaitConnected(DWORD timeoutMs);
    void Stop();
    void Pause();
    void Resume();
    long long Calls() const { return m_calls.load(); }
    HRESULT Result() const { return m_result.load(); }  // the first failure, or S_OK

private:
    void Run(CLSID clsid);

    std::atomic<bool> m_stop{false};
    fw::UniqueHandle m_going;  // event, set while the loop may call
    std::atomic<long long> m_calls{0};
    std::atomic<HRESULT> m_result{S_OK};
    fw::UniqueHandle m_connected;  // event, set once the object is made or cannot be
    std::thread m_thread;
};

}  // namespace bench
