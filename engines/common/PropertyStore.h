// The engine's property store: a value for each pair of names, written by
// linktopicProcessClientData and read back by linktopicProcessClientRequest.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace engines {

class PropertyStore {
public:
    // Null pointers count as empty strings.
    void Set(const char* first, const char* second, const char* value);

    // The stored value, or null if the pair was never set. The pointer stays
    // valid until the next Set.
    const std::string* Find(const char* first, const char* second) const;

    // Writes the stored value (or "" if none) into a reply buffer of
    // kEngineReplySize bytes, NUL-terminated. A longer value is cut to
    // kEngineReplySize - 1 characters so that it always fits.
    void CopyReply(const char* first, const char* second, char* reply) const;

private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::string> m_values;
};

// Copies text into a reply buffer of kEngineReplySize bytes, NUL-terminated,
// cut to kEngineReplySize - 1 characters.
void CopyToReply(const std::string& text, char* reply);

// The text itself, or "" for a null pointer.
inline const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace engines
