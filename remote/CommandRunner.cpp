#include "CommandRunner.h"

#include <string>
#include <string_view>
#include <utility>

#include "engine/EngineCalls.h"
#include "engine/vmserver.h"
#include "log/Log.h"

namespace remote {

namespace {

// Collects the lines logged on this thread for as long as it lives, each
// ended by "\n", up to CommandRunner::kMostReply bytes.
class ReplyCapture : private LogCapture {
public:
    ReplyCapture() : m_previous(SetLogCapture(this)) {}
    ~ReplyCapture() { SetLogCapture(m_previous); }
    ReplyCapture(const ReplyCapture&) = delete;
    ReplyCapture& operator=(const ReplyCapture&) = delete;

    std::string Take() {
        if (m_cut) m_text += "(reply cut: over " + std::to_string(CommandRunner::kMostReply) + " bytes)\n";
        return std::move(m_text);
    }

private:
    void CaptureLogLine(std::string_view line) noexcept override {
        if (m_cut) return;
        if (m_text.size() + line.size() + 1 > CommandRunner::kMostReply) {
            m_cut = true;
            return;
        }
        try {
            m_text.append(line).push_back('\n');
        } catch (...) {
            m_cut = true;  // out of memory: the reply ends here
        }
    }

    LogCapture* m_previous;  // restored at the end; not owned
    std::string m_text;
    bool m_cut = false;
};

}  // namespace

const fw::MessageMapEntry CommandRunner::messageEntries[] = {
    {kCommandWaitingMessage, 0, 0, fw::On<&CommandRunner::OnCommandWaiting>},
};

const fw::MessageMap CommandRunner::messageMap = {nullptr, messageEntries};

const fw::MessageMap* CommandRunner::GetMessageMap() const { return &messageMap; }

CommandRunner::~CommandRunner() { Stop(); }

bool CommandRunner::Start() {
    const char* className = fw::RegisterWndClass(0, nullptr, nullptr, nullptr);
    if (!className || !CreateEx(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr)) return false;
    m_exchange.SetWindow(m_hWnd, kCommandWaitingMessage);
    return true;
}

void CommandRunner::Stop() {
    m_exchange.SetWindow(nullptr, 0);
    if (m_hWnd && !m_running) ::DestroyWindow(m_hWnd);  // else the running command still returns through it
}

void CommandRunner::OnCommandWaiting() {
    if (m_running) return;  // the engine runs the message loop inside a command: the next one waits for it
    std::optional<RemoteCommand> command = m_exchange.TakeCommand();
    if (!command) return;
    // The next one is asked for however this one ends, and whoever waits
    // for its return is told.
    struct Done {
        CommandRunner& runner;
        ~Done() {
            runner.m_running = false;
            runner.m_exchange.CommandDone();
            if (runner.m_whenReturned) std::exchange(runner.m_whenReturned, nullptr)();
        }
    } done{*this};
    m_running = true;
    // The echo is no part of the reply: the capture starts after it.
    if (PLATFORM.Log) PLATFORM.Log(LogNumber(LogCategory::Info), command->text.c_str());
    std::string reply;
    {
        ReplyCapture capture;
        engine::Process(command->text.c_str(), stats::CommandSource::Remote);  // result ignored
        reply = capture.Take();
    }
    m_exchange.AddReply({command->connection, command->id, std::move(reply)});
}

}  // namespace remote
