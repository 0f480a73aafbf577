// The look the shell takes at its type library before loading it: the file
// cut at every length is refused (the system's loader under Wine ends the
// process on such a file), while the whole file, and the whole file with
// bytes after its end, pass and load.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "ScratchTree.h"
#include "WinePath.h"
#include "app/TypeLibraryFile.h"

namespace {

std::string Scratch() { return vt::ToWindowsPath(VELMOR_SCRATCH_ROOT) + "\\rel-cut.tlb"; }

void Write(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

HRESULT Load(const std::string& path) {
    const std::wstring wide(path.begin(), path.end());
    ITypeLib* library = nullptr;
    const HRESULT hr = ::LoadTypeLib(wide.c_str(), &library);
    if (library) library->Release();
    return hr;
}

TEST(TypeLibraryCut, EveryCutIsRefusedAndTheWholeFileLoads) {
    const std::string real = vt::ReadFileBytes(vt::ToWindowsPath(VELMOR_TLB));
    ASSERT_GT(real.size(), 0x54u);
    const std::string path = Scratch();
    for (std::size_t length = 4; length < real.size(); ++length) {
        Write(path, real.substr(0, length));
        ASSERT_FALSE(TypeLibraryFileIsWhole(path.c_str())) << "cut at " << length << " passed";
    }
    // Shorter than the format's magic: not this format, left to the loader,
    // which refuses it without harm.
    for (std::size_t length = 0; length < 4; ++length) {
        Write(path, real.substr(0, length));
        EXPECT_TRUE(TypeLibraryFileIsWhole(path.c_str()));
        EXPECT_NE(Load(path), S_OK);
    }
    Write(path, real);
    EXPECT_TRUE(TypeLibraryFileIsWhole(path.c_str()));
    EXPECT_EQ(Load(path), S_OK);
    Write(path, real + std::string(64, '\0'));
    EXPECT_TRUE(TypeLibraryFileIsWhole(path.c_str()));
    EXPECT_EQ(Load(path), S_OK);
    // A file that cannot be read here is the loader's to refuse.
    EXPECT_TRUE(TypeLibraryFileIsWhole("Z:\\no such folder\\Velmor.tlb"));
    ::DeleteFileA(path.c_str());
}

}  // namespace
