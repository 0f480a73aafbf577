// A modal dialog on a resource template. The dialog window is subclassed when
// WM_INITDIALOG arrives, so its messages go through the message map first and
// the dialog manager's procedure is the default processing. Commands that the
// dialog's map lacks go on to the application object's map. While the modal
// loop runs, PreTranslateMessage sees every message of the thread before the
// dialog manager does (the place for accelerators and modeless dialogs).
#pragma once

#include <windows.h>

#include "Edit.h"
#include "Window.h"

namespace fw {

class Dialog;

// Binds dialog controls to members (one direction) and checks the bindings
// (the other); exchanges no data.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saving) : m_dialog(dialog), m_saving(saving) {}
    bool Failed() const { return m_failed; }

    void Control(int id, Edit& control);

private:
    Dialog& m_dialog;
    bool m_saving;
    bool m_failed = false;
};

class Dialog : public Window {
public:
    Dialog(UINT templateId, Window* parent) : m_templateId(templateId), m_parent(parent) {}

    // Runs the dialog; returns the EndDialog result. An exception carried out
    // of a handler during the run ends it and is rethrown here.
    INT_PTR DoModal();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange& dx);

    bool UpdateData(bool saving);
    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

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
