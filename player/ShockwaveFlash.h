#pragma once

#include "platform/FlashControlAbi.h"
#include "platform/Wnd.h"

// The Flash control as a child window, driven by automation. The control
// is an outside component found through the class registry; this wrapper
// knows only the members the player uses; their numbers, and the class id,
// are the control's contract (platform/FlashControlAbi.h).
class CShockwaveFlash : public CWnd {
public:
    CShockwaveFlash() = default;

    static const platform::CLSID clsid; // QV_FLASH_CLSID
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
        dispidFrameNum = QV_DISPID_FRAME_NUM,
        dispidPlay = QV_DISPID_PLAY,
        dispidStop = QV_DISPID_STOP,
        dispidScaleMode = QV_DISPID_SCALE_MODE,
        dispidBackgroundColor = QV_DISPID_BACKGROUND_COLOR,
        dispidLoadMovie = QV_DISPID_LOAD_MOVIE,
        dispidFSCommand = QV_DISPID_FSCOMMAND, // the event
        dispidSavedDataFolder = QV_DISPID_SAVED_DATA_FOLDER,
    };
};
