// Hands remote commands from the socket thread to the GUI thread, and their
// replies back. Neither thread ever waits for the other: the socket thread
// posts one message to the GUI thread's window while commands wait, and the
// GUI thread sets the socket thread's wake-up event when a reply is ready.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace remote {

// A command or its reply: the text, and the connection and request id it
// belongs to.
struct RemoteCommand {
    std::uint64_t connection = 0;
    std::int32_t id = 0;
    std::string text;
};
using RemoteReply = RemoteCommand;

class CommandExchange {
public:
    // `replyReady` (not owned) is set whenever a reply is added; at most
    // `most` commands wait at once.
    CommandExchange(HANDLE replyReady, std::size_t most) : m_replyReady(replyReady), m_most(most) {}

    // GUI thread: commands wait for `window`, told by `message`; a null
    // window drops the waiting commands and takes no more.
    void SetWindow(HWND window, UINT message);

    // Socket thread: queues a command, in arrival order; false when `most`
    // already wait.
    bool PostCommand(RemoteCommand command);
    // Drops the waiting command of a connection that closed; false when it
    // has none waiting (it runs, or ran).
    bool Drop(std::uint64_t connection);
    // Tells the window again when a post failed (its queue was full); true
    // while commands are still stranded so.
    bool Nudge();
    std::deque<RemoteReply> TakeReplies();

    // GUI thread: the oldest waiting command, if any. Once it has run,
    // CommandDone tells the window again while more wait: each command is a
    // message of its own, posted after the last one ran, so that a frame
    // timer message that came meanwhile goes first.
    std::optional<RemoteCommand> TakeCommand();
    void CommandDone();
    void AddReply(RemoteReply reply);

private:
    void Tell();  // with m_lock held

    const HANDLE m_replyReady;  // not owned
    const std::size_t m_most;
    std::mutex m_lock;
    HWND m_window = nullptr;  // not owned
    UINT m_message = 0;
    bool m_told = false;  // the window will look at the queue again: a message is on its way, or a command runs
    std::deque<RemoteCommand> m_commands;
    std::deque<RemoteReply> m_replies;
};

}  // namespace remote
