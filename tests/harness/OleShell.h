// A scratch tree whose shell is the registered automation server, and the
// shell process that OLE starts from it for the first client. OLE starts the
// server in the client's current directory, so clients run with the tree's
// root as theirs (ClientDirectory, or the working directory of a child).
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "Journal.h"
#include "ScratchTree.h"

namespace vt {

class OleShell {
public:
    // Makes the tree and registers its shell ("/REGISTER"): LocalServer32
    // then names the tree's Velmor.exe.
    explicit OleShell(const std::string& name);
    // Ends every shell of this tree that still runs (see EndShells).
    ~OleShell();
    OleShell(const OleShell&) = delete;
    OleShell& operator=(const OleShell&) = delete;

    // Registers the tree's shell again ("/REGISTER").
    void Register();

    const ScratchTree& Tree() const { return m_tree; }
    Journal& EngineJournal() { return m_journal; }
    std::string LogText() const { return m_tree.Read("System\\Velmor.log"); }

    // The started shell's process id, from the journal's "load pid=" line;
    // 0 when none appears in time.
    DWORD WaitShellPid(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // The started shell's console window; null when there is none.
    HWND Console();
    // Closes the console (system menu Close) and waits for the process to
    // end; false on timeout.
    bool CloseConsole(std::chrono::milliseconds timeout = std::chrono::seconds(30));

private:
    ScratchTree m_tree;
    Journal m_journal;
};

// Makes the tree's root the current directory for the scope's life, so that
// OLE starts the tree's shell there.
class ClientDirectory {
public:
    explicit ClientDirectory(const ScratchTree& tree);
    ~ClientDirectory();
    ClientDirectory(const ClientDirectory&) = delete;
    ClientDirectory& operator=(const ClientDirectory&) = delete;

private:
    std::string m_previous;
};

// Writes the registry entries of the tree's shell and registers its type
// library ("Velmor.exe /REGISTER" run in the tree), so that OLE finds its
// class by ProgID and starts that shell; false if it did not end in time.
bool RegisterShell(const ScratchTree& tree, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Process ids of the running shells started from the tree's System\Velmor.exe.
std::vector<DWORD> ShellProcessIds(const ScratchTree& tree);

// Ends each running shell of the tree: its console is closed, so that it
// revokes its class factory (a shell killed outright leaves a dead
// registration behind, to which OLE sends later clients); killed only if it
// does not end.
void EndShells(const ScratchTree& tree);

}  // namespace vt
