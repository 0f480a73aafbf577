// A load client: an automation client process of its own that creates the
// editor automation server by its ProgID, binds its members by name and makes
// CALLS mixed Exec, SetProp and GetProp calls, numbered and unique to CLIENT
// (LoadCalls.h), as fast as the shell answers them.
//
//   reliability_load_client CLIENT CALLS
//
// Prints one summary line on stdout. Exit status: 0 every call succeeded and
// every reply was right; 1 a call failed (the line names it and its HRESULT,
// and no further call is made); 2 usage; 3 the server could not be created;
// 4 some replies were wrong.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <wrl/client.h>

#include "LoadCalls.h"

using Microsoft::WRL::ComPtr;

namespace {

// An owned BSTR argument or result.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& text) {
        const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0);
        m_s = ::SysAllocStringLen(nullptr, static_cast<UINT>(n));
        if (m_s) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), m_s, n);
    }
    ~Bstr() { ::SysFreeString(m_s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_s; }

private:
    BSTR m_s = nullptr;
};

std::string Narrow(BSTR text) {
    const int length = static_cast<int>(::SysStringLen(text));
    if (length == 0) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), n, nullptr, nullptr);
    return result;
}

class Server {
public:
    HRESULT Create() {
        CLSID clsid;
        HRESULT hr = ::CLSIDFromProgID(L"Velmor.VelmorEdServer", &clsid);
        if (FAILED(hr)) return hr;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                &m_dispatch);
        if (FAILED(hr)) return hr;
        const wchar_t* names[] = {L"Exec", L"SetProp", L"GetProp"};
        DISPID* ids[] = {&m_exec, &m_setProp, &m_getProp};
        for (int i = 0; i < 3; ++i) {
            LPOLESTR name = const_cast<LPOLESTR>(names[i]);
            hr = m_dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, ids[i]);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    // One call; `reply` receives what GetProp returned.
    HRESULT Call(const rel::LoadCall& call, std::string& reply) {
        Bstr first(call.first), second(call.second), value(call.value);
        std::vector<VARIANT> args;  // last argument first
        auto push = [&args](const Bstr& s) {
            VARIANT v;
            ::VariantInit(&v);
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = s.Get();  // borrowed: the Bstr owns it
            args.push_back(v);
        };
        DISPID id = m_exec;
        switch (call.kind) {
        case rel::LoadCallKind::Exec:
            push(first);
            break;
        case rel::LoadCallKind::SetProp:
            id = m_setProp;
            push(value);
            push(second);
            push(first);
            break;
        case rel::LoadCallKind::GetProp:
            id = m_getProp;
            push(second);
            push(first);
            break;
        }
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        VARIANT result;
        ::VariantInit(&result);
        const HRESULT hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                              &params, &result, nullptr, nullptr);
        if (SUCCEEDED(hr) && V_VT(&result) == VT_BSTR) reply = Narrow(V_BSTR(&result));
        ::VariantClear(&result);
        return hr;
    }

private:
    ComPtr<IDispatch> m_dispatch;
    DISPID m_exec = DISPID_UNKNOWN, m_setProp = DISPID_UNKNOWN, m_getProp = DISPID_UNKNOWN;
};

int Run(int client, int calls) {
    Server server;
    if (const HRESULT hr = server.Create(); FAILED(hr)) {
        std::printf("client %d: the server could not be created: 0x%08lX\n", client,
                    static_cast<unsigned long>(hr));
        return 3;
    }
    const DWORD start = ::GetTickCount();
    int wrongReplies = 0;
    for (int i = 0; i < calls; ++i) {
        const rel::LoadCall call = rel::MakeLoadCall(client, i);
        std::string reply;
        const HRESULT hr = server.Call(call, reply);
        if (FAILED(hr)) {
            std::printf("client %d: call %d failed: 0x%08lX\n", client, i,
                        static_cast<unsigned long>(hr));
            return 1;
        }
        if (call.kind == rel::LoadCallKind::GetProp && reply != call.value) ++wrongReplies;
    }
    std::printf("client %d: calls=%d wrong-replies=%d ms=%lu\n", client, calls, wrongReplies,
                static_cast<unsigned long>(::GetTickCount() - start));
    return wrongReplies ? 4 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reliability_load_client CLIENT CALLS\n");
        return 2;
    }
    const int client = std::atoi(argv[1]);
    const int calls = std::atoi(argv[2]);
    if (client < 0 || calls < 0) return 2;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    const int status = Run(client, calls);
    std::fflush(stdout);
    ::CoUninitialize();
    return status;
}
