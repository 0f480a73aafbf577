#include "FloorObject.h"

#include <cstring>
#include <new>
#include <string>

#include "EchoLog.h"
#include "FloorIds.h"
#include "ServerLock.h"

namespace floor_server {

namespace {

struct Member {
    const wchar_t* name;
    DISPID id;
    UINT argumentCount;
};

constexpr Member kMembers[] = {
    {L"Exec", kFloorExec, 1},
    {L"GetProp", kFloorGetProp, 2},
    {L"SetProp", kFloorSetProp, 3},
};

const Member* FindMember(DISPID id) {
    for (const Member& member : kMembers)
        if (member.id == id) return &member;
    return nullptr;
}

// A variant argument as 8-bit text; false if it cannot be made a string.
bool ArgumentText(VARIANT& argument, std::string& text) {
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, &argument, 0, VT_BSTR))) return false;
    const BSTR wide = V_BSTR(&converted);
    const int length = static_cast<int>(::SysStringLen(wide));
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size));
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), size, nullptr, nullptr);
    ::VariantClear(&converted);
    return true;
}

// The reply a property request gets: the longest the engine can give, from a
// buffer of the engine's size, made an automation string.
BSTR ReplyString() {
    char reply[kFloorReplyLength + 1];
    std::memset(reply, 'r', kFloorReplyLength);
    reply[kFloorReplyLength] = '\0';
    const int size = ::MultiByteToWideChar(CP_ACP, 0, reply, kFloorReplyLength, nullptr, 0);
    BSTR result = ::SysAllocStringLen(nullptr, static_cast<UINT>(size));
    if (result) ::MultiByteToWideChar(CP_ACP, 0, reply, kFloorReplyLength, result, size);
    return result;
}

}  // namespace

FloorObject::FloorObject() { Lock(); }

FloorObject::~FloorObject() { Unlock(); }

HRESULT FloorObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FloorObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }

ULONG FloorObject::Release() {
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT FloorObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT FloorObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT FloorObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Member& member : kMembers)
        if (names[0] && ::_wcsicmp(names[0], member.name) == 0) ids[0] = member.id;
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    if (count > 1) hr = DISP_E_UNKNOWNNAME;  // the members take no named arguments
    return hr;
}

HRESULT FloorObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT* argError) {
    try {
        const Member* member = FindMember(id);
        if (!member) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        if (params->cArgs != member->argumentCount) return DISP_E_BADPARAMCOUNT;

        // Arguments come last first.
        std::string texts[3];
        for (UINT i = 0; i < params->cArgs; ++i) {
            const UINT position = params->cArgs - 1 - i;
            if (!ArgumentText(params->rgvarg[position], texts[i])) {
                if (argError) *argError = position;
                return DISP_E_TYPEMISMATCH;
            }
        }
        if (result) ::VariantInit(result);
        if (id == kFloorExec) EchoLine(texts[0]);
        if (id == kFloorGetProp && result) {
            V_VT(result) = VT_BSTR;
            if (!(V_BSTR(result) = ReplyString())) return E_OUTOFMEMORY;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace floor_server
