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

bool CommandExchange::PostCommand(RemoteCommand command) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!m_window) return true;  // stopping: dropped
    if (m_commands.size() >= m_most) return false;
    m_commands.push_back(std::move(command));
    if (!m_told) Tell();
    return true;
}

bool CommandExchange::Drop(std::uint64_t connection) {
    const std::lock_guard<std::mutex> hold(m_lock);
    return std::erase_if(m_commands, [&](const RemoteCommand& command) { return command.connection == connection; }) != 0;
}

bool CommandExchange::Nudge() {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!m_window || m_told || m_commands.empty()) return false;
    Tell();
    return !m_told;
}

void CommandExchange::Tell() {
    // Posting never waits. Should the window's queue be full, the socket
    // thread tries again (Nudge).
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
    m_told = true;  // CommandDone looks again
    return command;
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
