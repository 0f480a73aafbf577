// The editor automation server: the object through which the level editor, in
// its own process, sends engine commands and reads and writes engine
// properties. Each member passes straight on to the engine library; the
// camera members answer fixed values. Every live server object holds the
// application lock.
#pragma once

#include <windows.h>

#include "AutomationObject.h"
#include "automation/guids.h"

class VelmorEdServer final : public fw::AutomationObject<IVelmorEdServer> {
public:
    VelmorEdServer();

    // IVelmorEdServer, in the interface's order (dispatch ids 1 to 10).
    HRESULT STDMETHODCALLTYPE get_CurCamera(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_CurCamera(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Fullscreen(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Fullscreen(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE Exec(BSTR command) override;
    HRESULT STDMETHODCALLTYPE SlowExec(BSTR command) override;
    HRESULT STDMETHODCALLTYPE GetProp(BSTR first, BSTR second, BSTR* reply) override;
    HRESULT STDMETHODCALLTYPE SetProp(BSTR first, BSTR second, BSTR value) override;
    HRESULT STDMETHODCALLTYPE Init(LONG value) override;
    HRESULT STDMETHODCALLTYPE NumCameras(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Camera(LONG index, IDispatch** camera) override;
    HRESULT STDMETHODCALLTYPE NewCamera(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                        VARIANT, VARIANT, IDispatch** camera) override;

protected:
    // Frees the object, then gives back its application lock.
    void OnFinalRelease() override;

private:
    ~VelmorEdServer() override = default;
};
