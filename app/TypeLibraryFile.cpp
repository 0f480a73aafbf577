#include "TypeLibraryFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "UniqueHandle.h"

namespace {

// The parts of the format read here, all little-endian 32-bit words:
//   header, 0x54 bytes: magic "MSFT" at 0, flags at 0x14 (0x100: a help DLL
//     name follows the type info offsets), number of type infos at 0x20;
//   then one word per type info, the help DLL word if flagged, then the
//     directory of 15 segments of 16 bytes: file offset (-1 for none) and
//     length first;
//   the type infos, 0x64 bytes each, one after another in the type info
//     table (segment 0): the file offset of the member data at 4, the
//     function and variable counts in the low and high half of the word at
//     0x18;
//   member data: its record length, the records, then three words per member.
constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr long kHeaderSize = 0x54;
constexpr std::uint32_t kHelpDllFlag = 0x100;
constexpr int kSegmentCount = 15;
constexpr long kSegmentSize = 16;
constexpr long kTypeInfoSize = 0x64;
constexpr std::int64_t kMaxTypeInfos = 0x10000;

class Reader {
public:
    Reader(std::FILE* file, std::int64_t size) : m_file(file), m_size(size) {}

    std::int64_t Size() const { return m_size; }
    // The word at `offset`; false when it lies (partly) past the end.
    bool Word(std::int64_t offset, std::uint32_t& value) const {
        if (offset < 0 || offset + 4 > m_size) return false;
        unsigned char b[4];
        if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fread(b, 1, 4, m_file) != 4)
            return false;
        value = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }
    bool Within(std::int64_t offset, std::int64_t length) const {
        return offset >= 0 && length >= 0 && offset + length <= m_size;
    }

private:
    std::FILE* m_file;
    std::int64_t m_size;
};

bool SegmentsWithin(const Reader& r, std::int64_t directory, std::int64_t& typeInfoTable) {
    for (int i = 0; i < kSegmentCount; ++i) {
        std::uint32_t offset = 0, length = 0;
        if (!r.Word(directory + i * kSegmentSize, offset) ||
            !r.Word(directory + i * kSegmentSize + 4, length))
            return false;
        if (i == 0) typeInfoTable = static_cast<std::int32_t>(offset);
        if (offset == 0xFFFFFFFF || length == 0) continue;
        if (!r.Within(static_cast<std::int32_t>(offset), static_cast<std::int32_t>(length)))
            return false;
    }
    return true;
}

bool MemberDataWithin(const Reader& r, std::int64_t typeInfoTable, std::uint32_t index) {
    const std::int64_t base = typeInfoTable + static_cast<std::int64_t>(index) * kTypeInfoSize;
    std::uint32_t memberData = 0, counts = 0;
    if (!r.Word(base + 4, memberData) || !r.Word(base + 0x18, counts)) return false;
    if (!r.Within(base, kTypeInfoSize)) return false;
    const std::int64_t members = (counts & 0xFFFF) + (counts >> 16);
    if (members == 0) return true;
    std::uint32_t recordLength = 0;
    if (!r.Word(static_cast<std::int32_t>(memberData), recordLength)) return false;
    return r.Within(static_cast<std::int32_t>(memberData),
                    4 + static_cast<std::int64_t>(recordLength) + members * 12);
}

}  // namespace

bool TypeLibraryFileIsWhole(const char* path) {
    const fw::UniqueFile file = fw::OpenFile(path, "rb");
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return true;
    const long size = std::ftell(file.get());
    if (size < 0) return true;
    const Reader r(file.get(), size);

    std::uint32_t magic = 0, flags = 0, typeInfos = 0;
    if (!r.Word(0, magic) || magic != kMagic) return true;  // not this format
    if (!r.Within(0, kHeaderSize) || !r.Word(0x14, flags) || !r.Word(0x20, typeInfos))
        return false;
    if (typeInfos > kMaxTypeInfos) return false;
    const std::int64_t directory =
        kHeaderSize + typeInfos * 4 + ((flags & kHelpDllFlag) ? 4 : 0);
    std::int64_t typeInfoTable = -1;
    if (!SegmentsWithin(r, directory, typeInfoTable)) return false;
    for (std::uint32_t i = 0; i < typeInfos; ++i)
        if (!MemberDataWithin(r, typeInfoTable, i)) return false;
    return true;
}
