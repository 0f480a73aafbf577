// The console window, the shell's main window: a modal dialog on template 102
// with the output pane (every log line) and the command line (commands for the
// engine). Its first paint starts the engine; its close sequence stops it.
#pragma once

#include <windows.h>

#include <string_view>

#include "Dialog.h"
#include "Edit.h"

class VelmorConsole : public fw::Dialog {
public:
    explicit VelmorConsole(fw::Window* parent);
    ~VelmorConsole() override;

    // Appends one line (no line breaks in it) to the output pane, which keeps
    // at most 301 lines, trimmed 100 at a time.
    void AppendOutput(std::string_view text);

    // The close sequence: stop the engine, close the log, end the modal run.
    void OnOK() override;

    fw::Edit* m_pFocusEdit = nullptr;  // the edit control that last had the focus; not owned
    fw::Edit m_CommandLine;
    fw::Edit m_Output;
    HICON m_hIcon;  // shared icon resource: loaded once, never destroyed

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void DoDataExchange(fw::DataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    void OnSysCommand(UINT command, LPARAM parameter);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnExecute();
    void OnSetFocusCommandLine();
    void OnSetFocusOutput();
    void OnTimer(UINT id);
    void OnLogLinesWaiting();

    void StartEngine();

    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;
};
