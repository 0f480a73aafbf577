// The camera's automation interface. OnTop and SetViewSize are the camera's
// own operations (VelmorCamera.cpp); the other members answer with fixed
// values and change nothing. Out-parameters are never null when the call
// comes through IDispatch; a vtable caller passing null gets E_POINTER.
#include "VelmorCamera.h"

namespace {

VARIANT_BOOL ToVariantBool(BOOL value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace

HRESULT VelmorCamera::get_DrawMode(LONG* value) {
    if (!value) return E_POINTER;
    *value = 0;
    return S_OK;
}

HRESULT VelmorCamera::put_DrawMode(LONG) { return S_OK; }

HRESULT VelmorCamera::get_OnTop(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = ToVariantBool(GetOnTop());
    return S_OK;
}

HRESULT VelmorCamera::put_OnTop(VARIANT_BOOL value) {
    return Guard([&] { SetOnTop(value != VARIANT_FALSE ? TRUE : FALSE); });
}

HRESULT VelmorCamera::get_ShowMenu(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = VARIANT_TRUE;
    return S_OK;
}

HRESULT VelmorCamera::put_ShowMenu(VARIANT_BOOL) { return S_OK; }  // the menu stays

HRESULT VelmorCamera::GetViewSize(LONG*, LONG*, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;  // writes nothing to the sizes
    return S_OK;
}

HRESULT VelmorCamera::SetViewSize(LONG width, LONG height, VARIANT_BOOL fullScreen,
                                  VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;  // on every call
    return Guard([&] { ResizeView(width, height, fullScreen != VARIANT_FALSE ? TRUE : FALSE); });
}

HRESULT VelmorCamera::GetWindowSize(LONG*, LONG*, LONG*, LONG*, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_TRUE;  // writes nothing to the rectangle
    return S_OK;
}

HRESULT VelmorCamera::SetWindowSize(LONG, LONG, LONG, LONG) { return S_OK; }
