// What the console window needs of the application that runs it. The
// application object implements it; the console finds it through
// fw::WinApp::CurrentAs.
#pragma once

class ConsoleHost {
public:
    // Sets Open log, Close log and Always on top of the console menu from the
    // shell's state.
    virtual void UpdateMenuState() = 0;
    // The system menu's About item is the Help menu's About.
    virtual void OnHelpAbout() = 0;
    // The engine has started (pInitAll returned, the log is open).
    virtual void OnEngineStarted() = 0;
    // The close sequence has begun: the engine still runs, and stops next.
    // False when it cannot go on yet (a remote command still runs inside the
    // engine, which ran the message loop and so brought the close here): the
    // close is asked for again once that has returned.
    virtual bool OnConsoleClosing() = 0;

protected:
    ~ConsoleHost() = default;
};
