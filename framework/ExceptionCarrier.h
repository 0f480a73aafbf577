// C++ exceptions cannot unwind through system frames (window procedures called
// by DispatchMessage, the dialog manager's modal loop, COM's stubs). Handlers
// that the system calls catch everything and hand the exception here; the
// running modal loop is ended and DoModal rethrows it on the caller's side.
#pragma once

#include <windows.h>

#include <exception>

namespace fw {

// Keeps the first exception carried and ends the running modal loop, if any.
void CarryException(std::exception_ptr exception) noexcept;

// Rethrows the carried exception, if there is one, and forgets it.
void RethrowCarriedException();

// Marks the dialog whose modal loop an exception ends, for the scope's life.
class ModalLoopScope {
public:
    explicit ModalLoopScope(HWND* dialog) noexcept;
    ~ModalLoopScope();
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;

private:
    HWND* m_previous;
};

}  // namespace fw
