#include "CommandExchange.h"

#include <utility>

namespace remote {

void CommandExchange::SetWindow(HWND window, UINT message) {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_window = window;
    m_message = message;
    m_told = false;
    if (!window) m_commands.clear();  // not run: the remote console is stopping
}

void CommandExchange::PostCommand(RemoteCommand command) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!m_window) return;
    m_commands.push_back(std::move(command));
    if (!m_told) Tell();
}

void CommandExchange::Tell() {
    // Posting never waits. Should the window's queue be full, the next
    // command or the next one taken tries again.
    m_told = ::PostMessageA(m_window, m_message, 0, 0) != FALSE;
}

std::deque<RemoteReply> CommandExchange::TakeReplies() {
    const std::lock_guard<std::mutex> hold(m_lock);
    return std::exchange(m_replies, {});
}

std::optional<RemoteCommand> CommandExchange::TakeCommand() {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_commands.empty()) {
        m_told = false;
        return std::nullopt;
    }
    std::optional<RemoteCommand> command(std::move(m_commands.front()));
    m_commands.pop_front();
    return command;  // m_told stays: CommandDone looks again
}

void CommandExchange::CommandDone() {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_window && !m_commands.empty())
        Tell();
    else
        m_told = false;
}

void CommandExchange::AddReply(RemoteReply reply) {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_replies.push_back(std::move(reply));
    }
    ::SetEvent(m_replyReady);
}

}  // namespace remote
