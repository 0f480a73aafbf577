// Runs remote commands on the GUI thread, one per message to a message-only
// window of its own, exactly as the editor's Exec runs them: echoed at INFO
// through the platform record's Log, then handed to the engine. Every line
// logged on this thread while the engine works is the command's reply.
#pragma once

#include <functional>

#include "CommandExchange.h"
#include "Window.h"

namespace remote {

class CommandRunner : public fw::Window {
public:
    explicit CommandRunner(CommandExchange& exchange) : m_exchange(exchange) {}
    ~CommandRunner() override;

    // On the GUI thread: makes the window and takes commands from then on.
    bool Start();
    // Takes no more commands; those still waiting are dropped, not run.
    void Stop();
    // True while a command runs: the engine may run the message loop inside
    // it, and so reach Stop, with the command still on the stack.
    bool Running() const { return m_running; }
    // Called once the running command has returned (posting only).
    void WhenReturned(std::function<void()> then) { m_whenReturned = std::move(then); }

    // Replies longer than this are cut, and end in a line that says so.
    static constexpr std::size_t kMostReply = 512 * 1024;

protected:
    const fw::MessageMap* GetMessageMap() const override;

private:
    void OnCommandWaiting();

    CommandExchange& m_exchange;
    bool m_running = false;
    std::function<void()> m_whenReturned;

    static constexpr UINT kCommandWaitingMessage = WM_APP + 1;
    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;
};

}  // namespace remote
