// The bytes of one connection that have arrived and not yet been taken by
// its protocol's reader.
#pragma once

#include <cstddef>
#include <string>

namespace remote {

class InputBuffer {
public:
    void Append(const char* data, std::size_t size) { m_bytes.append(data, size); }
    const char* Data() const { return m_bytes.data() + m_start; }
    std::size_t Size() const { return m_bytes.size() - m_start; }
    // Drops the first `count` bytes (at most Size()).
    void Take(std::size_t count) {
        m_start += count;
        if (m_start == m_bytes.size()) {
            m_bytes.clear();
            m_start = 0;
        } else if (m_start > 64 * 1024) {
            m_bytes.erase(0, m_start);
            m_start = 0;
        }
    }

private:
    std::string m_bytes;
    std::size_t m_start = 0;  // bytes before it have been taken
};

}  // namespace remote
