#include "Dialog.h"

#include "ExceptionCarrier.h"
#include "WinApp.h"

namespace fw {

namespace {

// The dialog manager's modal loop hands every message to IsDialogMessage,
// which first calls the thread's message filter hooks with MSGF_DIALOGBOX:
// that is where the running dialog gets its PreTranslateMessage. A filter
// that calls IsDialogMessage itself (for a modeless dialog) comes back here
// inside the call, and is then let through.
Dialog* g_filtering = nullptr;  // the innermost running modal dialog; GUI thread only
bool g_inFilter = false;

LRESULT CALLBACK ModalMessageFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && g_filtering && !g_inFilter) {
        g_inFilter = true;
        bool handled = false;
        try {
            handled = g_filtering->PreTranslateMessage(*reinterpret_cast<MSG*>(lParam));
        } catch (...) {
            CarryException(std::current_exception());
        }
        g_inFilter = false;
        if (handled) return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook for the life of the outermost modal run; a nested run filters for
// itself through the same hook.
class ModalFilterScope {
public:
    explicit ModalFilterScope(Dialog* dialog)
        : m_previous(g_filtering),
          m_hook(m_previous ? nullptr
                            : ::SetWindowsHookExA(WH_MSGFILTER, &ModalMessageFilter, nullptr,
                                                  ::GetCurrentThreadId())) {
        g_filtering = dialog;
    }
    ~ModalFilterScope() {
        if (m_hook) ::UnhookWindowsHookEx(m_hook);
        g_filtering = m_previous;
    }
    ModalFilterScope(const ModalFilterScope&) = delete;
    ModalFilterScope& operator=(const ModalFilterScope&) = delete;

private:
    Dialog* m_previous;
    HHOOK m_hook;
};

constexpr MessageMapEntry kDialogEntries[] = {
    {WM_COMMAND, BN_CLICKED, IDOK, On<&Dialog::OnOK>},
    {WM_COMMAND, BN_CLICKED, IDCANCEL, On<&Dialog::OnCancel>},
};
}  // namespace

const MessageMap Dialog::messageMap = {nullptr, kDialogEntries};

const MessageMap* Dialog::GetMessageMap() const { return &messageMap; }

INT_PTR Dialog::DoModal() {
    ModalLoopScope scope(&m_hWnd);
    ModalFilterScope filter(this);
    HWND parent = m_parent ? m_parent->m_hWnd : nullptr;
    const INT_PTR result =
        ::DialogBoxParamA(WinApp::Current()->m_hInstance, MAKEINTRESOURCEA(m_templateId), parent,
                          &Dialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    RethrowCarriedException();
    return result;
}

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    // Every message but WM_INITDIALOG reaches the object through the subclass
    // procedure; here the dialog manager gets FALSE (not handled).
    if (message != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<Dialog*>(lParam);
    self->SubclassWindow(hwnd);
    try {
        return self->OnInitDialog();
    } catch (...) {
        CarryException(std::current_exception());
        return FALSE;
    }
}

BOOL Dialog::OnInitDialog() { return TRUE; }

void Dialog::OnOK() { ::EndDialog(m_hWnd, IDOK); }

void Dialog::OnCancel() { ::EndDialog(m_hWnd, IDCANCEL); }

bool Dialog::PreTranslateMessage(MSG&) { return false; }

bool Dialog::OnCmdMsg(UINT id, UINT code) {
    if (Window::OnCmdMsg(id, code)) return true;
    // Commands the dialog lacks go on to the application object.
    return code == 0 && WinApp::Current()->OnCmdMsg(id, code);
}

}  // namespace fw
