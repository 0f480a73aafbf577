#include "DispatchClient.h"

#include <objbase.h>

#include <cstdio>
#include <vector>

#include "OleString.h"

namespace {

std::string WideToAnsi(const wchar_t* text) {
    if (!text) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string result(static_cast<std::size_t>(n - 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), n, nullptr, nullptr);
    return result;
}

}  // namespace

std::string DescribeResult(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    std::string text = code;
    char* message = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (n && message) {
        std::string m(message, n);
        while (!m.empty() && (m.back() == '\n' || m.back() == '\r' || m.back() == ' ')) m.pop_back();
        if (!m.empty()) text += " (" + m + ")";
    }
    if (message) ::LocalFree(message);
    return text;
}

HRESULT DispatchClient::Create(const char* progId, std::string& error) {
    const fw::OleString wideProgId(fw::AnsiToBstr(progId, std::char_traits<char>::length(progId)));
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(wideProgId.Get(), &clsid);
    if (FAILED(hr)) {
        error = std::string("the ProgID ") + progId + " is not registered: " + DescribeResult(hr);
        return hr;
    }
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            &m_object);
    if (FAILED(hr)) error = std::string("cannot create ") + progId + ": " + DescribeResult(hr);
    return hr;
}

HRESULT DispatchClient::Call(const wchar_t* name, std::span<VARIANT> args, VARIANT* result,
                             std::string& error) {
    const std::string memberName = WideToAnsi(name);
    DISPID dispId = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispId);
    if (FAILED(hr)) {
        error = "the server has no member " + memberName + ": " + DescribeResult(hr);
        return hr;
    }

    // IDispatch takes the arguments last first.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception = {};
    UINT argErr = 0;
    hr = m_object->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                          &exception, &argErr);
    if (FAILED(hr)) {
        error = memberName + " failed: " + DescribeResult(hr);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            const std::string description = fw::BstrToAnsi(exception.bstrDescription);
            if (!description.empty()) error += ": " + description;
        } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) {
            error += " (argument " + std::to_string(reversed.size() - argErr) + ")";
        }
    }
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}
