// The console window, the shell's main window: a modal dialog on template 102
// with the output pane (every log line) and the command line (commands for the
// engine). Its first paint starts the engine; its close sequence stops it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string_view>

#include "CommandHistory.h"
#include "Dialog.h"
#include "Edit.h"
#include "PaneFind.h"
#include "log/Log.h"

// While it is up (run state not 0) the console is the log's pane: it shows
// every line logged on its thread and, on its next turn, those of the
// engine's own threads.
class VelmorConsole : public fw::Dialog, private LogPane {
public:
    explicit VelmorConsole(fw::Window* parent);
    ~VelmorConsole() override;

    // Appends one line (no line breaks in it) to the output pane, which keeps
    // at most 301 lines, trimmed 100 at a time.
    void AppendOutput(std::string_view text);

    // The console's window for other threads to post to: published when the
    // dialog starts, withdrawn when its window goes; null meanwhile.
    HWND PublishedWindow() const noexcept { return m_hPublished.load(std::memory_order_acquire); }

    // The close sequence: stop the engine, close the log, end the modal run.
    void OnOK() override;

    Edit* m_pFocusEdit = nullptr;  // the edit control that last had the focus; not owned
    Edit m_CommandLine;
    Edit m_Output;
    HICON m_hIcon;  // shared icon resource: loaded once, never destroyed

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void DoDataExchange();
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    // Keys of the console's modal loop: Up and Down in the command line, the
    // find keys, and the Find dialog's own keys.
    bool PreTranslateMessage(MSG& msg) override;

private:
    void OnSysCommand(UINT command, LPARAM parameter);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnExecute();
    void OnSetFocusCommandLine();
    void OnSetFocusOutput();
    void OnTimer(UINT id);
    void OnInitMenuPopup();
    void OnLogLinesWaiting();

    // The output pane's context menu and find (PaneCommands.cpp).
    LRESULT OnContextMenu(WPARAM window, LPARAM point);
    void OnEditFind();
    void OnEditFindNext();
    void OnEditFindPrevious();
    LRESULT OnFindMessage(WPARAM, LPARAM request);

    void ShowLogLine(std::string_view line) override;
    void LinesWaiting() noexcept override;
    void StopLogPane();

    void StartEngine();
    // Puts the previous (older) or the next history entry into the command line.
    void RecallCommand(bool older);
    void SaveHistory();

    CommandHistory m_history;
    PaneFind m_find{m_Output, m_hWnd};
    HACCEL m_hKeys = nullptr;  // resource accelerators: freed with the module
    std::atomic<HWND> m_hPublished{nullptr};
    bool m_bLogPane = false;  // registered as the log's pane

    // Posted by LinesWaiting: lines of other threads wait for the pane.
    static constexpr UINT kLogLinesWaitingMessage = WM_APP + 0x120;

    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;
};
