// A late-binding automation client: creates an object by its ProgID in a
// local server and calls its members by name through IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <span>
#include <string>
#include <wrl/client.h>

class DispatchClient {
public:
    // Creates the object (CLSCTX_LOCAL_SERVER); on failure `error` says why.
    HRESULT Create(const char* progId, std::string& error);

    // Calls a method with `args` in their natural order (first argument
    // first); `result` may be null. On failure `error` says why.
    HRESULT Call(const wchar_t* name, std::span<VARIANT> args, VARIANT* result,
                 std::string& error);

private:
    Microsoft::WRL::ComPtr<IDispatch> m_object;
};

// "0x80070005 (Access is denied.)": an HRESULT and the system's text for it.
std::string DescribeResult(HRESULT hr);
