// The editor automation server: the object through which the level editor, in
// its own process, sends engine commands and reads and writes engine
// properties. Each member passes straight on to the engine library; the
// camera members answer fixed values. Every live server object holds the
// application lock.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "DispatchMap.h"

class VelmorEdServer final : public fw::DispatchObject {
public:
    VelmorEdServer();

    // Members in dispatch-map order (dispids 1 to 10, automation/dispids.h).
    long GetCurCamera();
    void SetCurCamera(long value);
    fw::DispBool GetFullscreen();
    void SetFullscreen(fw::DispBool value);
    void Exec(const char* command);
    void SlowExec(const char* command);
    BSTR GetProp(const char* first, const char* second);
    void SetProp(const char* first, const char* second, const char* value);
    void Init(long value);
    long NumCameras();
    IDispatch* Camera(long index);
    IDispatch* NewCamera(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT);

    static const fw::DispatchMap dispatchMap;
    const fw::DispatchMap& GetDispatchMap() const override;

protected:
    // Frees the object, then gives back its application lock.
    void OnFinalRelease() override;

private:
    ~VelmorEdServer() override = default;

    static const fw::DispatchEntry dispatchEntries[];
};
