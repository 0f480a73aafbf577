// The open camera windows in creation order, 0-based. The list does not own
// the cameras: they add and remove their own entries.
#pragma once

#include <cstddef>
#include <vector>

class VelmorCamera;

class CameraList {
public:
    std::size_t GetSize() const { return m_items.size(); }
    VelmorCamera* GetAt(std::size_t index) const { return m_items.at(index); }
    void Add(VelmorCamera* camera) { m_items.push_back(camera); }
    void RemoveAt(std::size_t index) { m_items.erase(m_items.begin() + static_cast<long>(index)); }

private:
    std::vector<VelmorCamera*> m_items;
};
