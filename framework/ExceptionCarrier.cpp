#include "ExceptionCarrier.h"

namespace fw {
namespace {

std::exception_ptr g_carried;    // GUI thread only
HWND* g_modalDialog = nullptr;   // window handle slot of the running modal dialog

}  // namespace

void CarryException(std::exception_ptr exception) noexcept {
    if (!g_carried) g_carried = exception;
    if (g_modalDialog && *g_modalDialog) ::EndDialog(*g_modalDialog, -1);
}

void RethrowCarriedException() {
    if (!g_carried) return;
    std::exception_ptr e = g_carried;
    g_carried = nullptr;
    std::rethrow_exception(e);
}

ModalLoopScope::ModalLoopScope(HWND* dialog) noexcept : m_previous(g_modalDialog) {
    g_modalDialog = dialog;
}

ModalLoopScope::~ModalLoopScope() { g_modalDialog = m_previous; }

}  // namespace fw
