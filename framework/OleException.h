// The two kinds of OLE failure the application tells apart from all other
// exceptions: a failed OLE call, and an error raised by a dispatch member.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class OleException {
public:
    explicit OleException(HRESULT hr) : m_hr(hr) {}
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

class OleDispatchException {
public:
    OleDispatchException(std::string description, WORD code)
        : m_description(std::move(description)), m_code(code) {}
    const std::string& Description() const { return m_description; }
    WORD Code() const { return m_code; }

private:
    std::string m_description;
    WORD m_code;
};

}  // namespace fw
