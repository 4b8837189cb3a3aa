#include "player/ShockwaveFlash.h"

const platform::CLSID CShockwaveFlash::clsid = *platform::CLSIDFromString(QV_FLASH_CLSID);

const CRuntimeClass CShockwaveFlash::classCShockwaveFlash { "CShockwaveFlash", sizeof(CShockwaveFlash),
    0xFFFF, &CShockwaveFlash::CreateObject, &CWnd::classCWnd };

CObject* CShockwaveFlash::CreateObject()
{
    return new CShockwaveFlash;
}

BOOL CShockwaveFlash::Create(
    LPCSTR, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id, void*)
{
    return CreateControl(clsid, windowName, style, rect, parent, id, nullptr, FALSE, nullptr);
}

BOOL CShockwaveFlash::PreTranslateMessage(MSG* msg)
{
    bool forward = msg->message == WM_LBUTTONDOWN || msg->message == WM_RBUTTONDOWN
        || (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE);
    if (forward) {
        if (CWnd* parent = GetParent())
            parent->SendMessage(msg->message, msg->wParam, msg->lParam);
    }
    return CWnd::PreTranslateMessage(msg);
}
