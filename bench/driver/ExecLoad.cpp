#include "ExecLoad.h"

#include "OleString.h"
#include "EditorClient.h"

namespace bench {

ExecLoad::ExecLoad(const CLSID& clsid)
    : m_going(::CreateEventA(nullptr, TRUE, TRUE, nullptr)),
      m_connected(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_thread([this, clsid] { Run(clsid); }) {}

void ExecLoad::Run(CLSID clsid) {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        m_result = E_FAIL;
        ::SetEvent(m_connected.Get());
        return;
    }
    {
        EditorClient client;
        const HRESULT created = client.Create(clsid);
        if (FAILED(created)) m_result = created;
        ::SetEvent(m_connected.Get());
        const fw::OleString command(::SysAllocString(L"bench"));
        while (SUCCEEDED(created) && !m_stop.load(std::memory_order_relaxed)) {
            ::WaitForSingleObject(m_going.Get(), INFINITE);  // while paused
            if (m_stop.load(std::memory_order_relaxed)) break;
            const HRESULT hr = client.Exec(command.Get());
            if (FAILED(hr)) {
                m_result = hr;
                break;
            }
            ++m_calls;
        }
    }
    ::CoUninitialize();
}

bool ExecLoad::WaitConnected(DWORD timeoutMs) {
    return m_connected.Get() && ::WaitForSingleObject(m_connected.Get(), timeoutMs) == WAIT_OBJECT_0 &&
           SUCCEEDED(m_result.load());
}

void ExecLoad::Pause() { ::ResetEvent(m_going.Get()); }

void ExecLoad::Resume() { ::SetEvent(m_going.Get()); }

void ExecLoad::Stop() {
    m_stop = true;
    Resume();
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace bench
