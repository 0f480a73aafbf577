// A modal dialog on a resource template. The dialog window is subclassed when
// WM_INITDIALOG arrives, so its messages go through the message map first and
// the dialog manager's procedure is the default processing. Commands that the
// dialog's map lacks go on to the application object's map. While the modal
// loop runs, PreTranslateMessage sees every message of the thread before the
// dialog manager does (the place for accelerators and modeless dialogs).
#pragma once

#include <windows.h>

#include "Window.h"

namespace fw {

class Dialog : public Window {
public:
    Dialog(UINT templateId, Window* parent) : m_templateId(templateId), m_parent(parent) {}

    // Runs the dialog; returns the EndDialog result. An exception carried out
    // of a handler during the run ends it and is rethrown here.
    INT_PTR DoModal();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Called inside the modal loop for each message before the dialog
    // manager handles it; true when the message was handled here and must go
    // no further. Exceptions are carried out of the loop like a handler's.
    virtual bool PreTranslateMessage(MSG& msg);

protected:
    const MessageMap* GetMessageMap() const override;
    bool OnCmdMsg(UINT id, UINT code) override;
    static const MessageMap messageMap;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    UINT m_templateId;
    Window* m_parent;
};

}  // namespace fw
