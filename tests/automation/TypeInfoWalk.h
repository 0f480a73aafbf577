// Members as a client that discovers them through ITypeInfo sees them (script
// hosts, .NET and PowerShell walk GetTypeAttr, GetFuncDesc and GetNames), and
// the tables they must match.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace vt {

// One function of a dispatch interface. Types: VT_I4, VT_BOOL, VT_BSTR,
// VT_VARIANT, VT_DISPATCH, VT_I4 | VT_BYREF for a long by reference, VT_EMPTY
// for no result.
struct MemberRow {
    MEMBERID id;
    std::string name;
    INVOKEKIND kind;
    std::vector<VARTYPE> params;
    VARTYPE result;
};

// A property with get and put, as its two functions.
std::vector<MemberRow> Property(MEMBERID id, const char* name, VARTYPE type);

// Checks, with gtest expectations, that `info` is a dispatch interface whose
// own functions (IDispatch's left out) are `expected`, in that order.
void ExpectMembers(ITypeInfo* info, const std::vector<MemberRow>& expected);

// Checks that `object` serves exactly one type information, index 0, and
// that it describes `expected`.
void ExpectTypeInfo(IDispatch* object, const std::vector<MemberRow>& expected);

// The tables of the two interfaces.
std::vector<MemberRow> EdServerMembers();
std::vector<MemberRow> CameraMembers();

}  // namespace vt
