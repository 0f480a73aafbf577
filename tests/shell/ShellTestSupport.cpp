#include "ShellTestSupport.h"

#include <objbase.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <stdexcept>

#include "automation/guids.h"

namespace vt {

std::uintptr_t RecordDump::Pointer(std::size_t offset) const {
    std::uintptr_t value = 0;
    if (offset + sizeof value <= m_bytes.size())
        std::memcpy(&value, m_bytes.data() + offset, sizeof value);
    return value;
}

std::string RecordDump::Field(std::size_t offset) const {
    const std::string field = m_bytes.substr(offset, 256);
    return field.substr(0, field.find('\0'));
}

bool RecordDump::FieldTerminated(std::size_t offset) const {
    return m_bytes.substr(offset, 256).find('\0') != std::string::npos;
}

bool RecordDump::ZeroFrom(std::size_t from, std::size_t to) const {
    if (to > m_bytes.size()) return false;
    for (std::size_t i = from; i < to; ++i)
        if (m_bytes[i] != '\0') return false;
    return true;
}

bool OnlyCrLfLineEnds(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    return true;
}

std::string GuidText(const GUID& guid) {
    wchar_t wide[64] = {};
    ::StringFromGUID2(guid, wide, 64);
    char text[64] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

bool ReadString(HKEY root, const std::string& path, const char* name, std::string& value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG result =
        ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    value = buffer;
    return true;
}

void DeleteShellRegistration() {
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + GuidText(CLSID_VelmorEdServer)).c_str());
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kVelmorEdServerProgId);
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("TypeLib\\" + GuidText(LIBID_Velmor)).c_str());
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("Interface\\" + GuidText(IID_IVelmorEdServer)).c_str());
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("Interface\\" + GuidText(IID_IVelmorCamera)).c_str());
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                            b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::vector<DWORD> ChildProcesses(DWORD parent, const std::string& exe) {
    std::vector<DWORD> children;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more;
         more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && SameText(entry.szExeFile, exe))
            children.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return children;
}

int LineCount(HWND edit) { return static_cast<int>(::SendMessageA(edit, EM_GETLINECOUNT, 0, 0)); }

void Sync(ShellProcess& shell, const std::string& tag) {
    if (!shell.Sync(tag)) throw std::runtime_error("the engine did not journal " + tag);
}

std::vector<std::string> FileLines(const ScratchTree& tree, const std::string& relative) {
    return SplitCrLf(tree.Read(relative));
}

bool ExecutableImage(HANDLE process, std::uintptr_t& base, std::uintptr_t& size) {
    HMODULE modules[64] = {};
    DWORD needed = 0;
    if (!::EnumProcessModules(process, modules, sizeof modules, &needed) || needed == 0)
        return false;
    MODULEINFO info{};
    if (!::GetModuleInformation(process, modules[0], &info, sizeof info)) return false;
    base = reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll);
    size = info.SizeOfImage;
    return true;
}

}  // namespace vt
