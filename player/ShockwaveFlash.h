#pragma once

#include "platform/Wnd.h"

// The Flash control as a child window, driven by automation. The control
// is an outside component found through the class registry; this wrapper
// knows only the members the player uses.
class CShockwaveFlash : public CWnd {
public:
    CShockwaveFlash() = default;

    static const platform::CLSID clsid; // {D27CDB6E-AE6D-11CF-96B8-444553540000}
    static const CRuntimeClass classCShockwaveFlash;
    static CObject* CreateObject();
    const CRuntimeClass* GetRuntimeClass() const override { return &classCShockwaveFlash; }

    // Makes the control as child `id` of `parent` at `rect`; the class name
    // and the context are not used.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
        void* context = nullptr) override;

    // Left and right button presses and Escape are also sent to the parent.
    BOOL PreTranslateMessage(MSG* msg) override;

    void SetScaleMode(long mode);
    void SetBackgroundColor(long colour);
    long GetFrameNum();
    void Play();
    void Stop();
    void LoadMovie(long layer, LPCSTR url);
    // The folder in which the control keeps what movies save across runs
    // (our control's own member). Raises the automation error of a control
    // that does not know it.
    void SetSavedDataFolder(LPCSTR folder);

    // The automation members, by dispatch id.
    enum : DISPID {
        dispidFrameNum = 0x6B,
        dispidPlay = 0x70,
        dispidStop = 0x71,
        dispidScaleMode = 0x78,
        dispidBackgroundColor = 0x7B,
        dispidLoadMovie = 0x8E,
        dispidFSCommand = 0x96, // the event
        dispidSavedDataFolder = 0x4001, // QV_DISPID_SAVED_DATA_FOLDER
    };
};
