#include "Journal.h"

#include "TextFormat.h"
#include "UniqueHandle.h"  // framework/, header-only

#include <windows.h>

namespace recorder {

namespace {

std::string JournalPath() {
    constexpr char kVariable[] = "VELMOR_JOURNAL";
    const DWORD size = GetEnvironmentVariableA(kVariable, nullptr, 0);
    if (size > 1) {
        std::string path(size, '\0');
        const DWORD length = GetEnvironmentVariableA(kVariable, path.data(), size);
        if (length > 0 && length < size) {
            path.resize(length);
            return path;
        }
    }
    return "recorder.journal";
}

class JournalFile {
public:
    void Write(const std::string& line) {
        if (!m_file && !Open()) return;
        Append(line);
    }

private:
    bool Open() {
        // Append-only access makes every WriteFile land at the current end of
        // the file, even when another process appends to the same journal.
        m_file = fw::UniqueHandle(CreateFileA(JournalPath().c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file) return false;
        if (!m_loadWritten) {
            m_loadWritten = true;
            Append(Format("load pid=%lu", static_cast<unsigned long>(GetCurrentProcessId())));
        }
        return true;
    }

    void Append(const std::string& line) {
        const std::string text = line + '\n';
        DWORD written = 0;
        // A failed write loses the line; there is nowhere else to report it.
        WriteFile(m_file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    fw::UniqueHandle m_file;
    bool m_loadWritten = false;
};

}  // namespace

void Journal(const std::string& line) {
    static JournalFile file;
    file.Write(line);
}

}  // namespace recorder
