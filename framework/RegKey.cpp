#include "RegKey.h"

#include <cstring>

namespace fw {

bool RegKey::SetString(const char* name, const char* value) const {
    return ::RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

}  // namespace fw
