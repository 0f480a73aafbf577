#include "PropertyStore.h"

#include "vmserver.h"

#include <cstring>

namespace engines {

void PropertyStore::Set(const char* first, const char* second, const char* value) {
    m_values[Key(OrEmpty(first), OrEmpty(second))] = OrEmpty(value);
}

const std::string* PropertyStore::Find(const char* first, const char* second) const {
    const auto it = m_values.find(Key(OrEmpty(first), OrEmpty(second)));
    return it == m_values.end() ? nullptr : &it->second;
}

void PropertyStore::CopyReply(const char* first, const char* second, char* reply) const {
    const std::string* value = Find(first, second);
    CopyToReply(value ? *value : std::string(), reply);
}

void CopyToReply(const std::string& text, char* reply) {
    if (!reply) return;
    // Cut, never refuse: the caller always gets a terminated reply.
    const std::size_t length = text.size() < kEngineReplySize - 1 ? text.size()
                                                                  : kEngineReplySize - 1;
    std::memcpy(reply, text.data(), length);
    reply[length] = '\0';
}

}  // namespace engines
