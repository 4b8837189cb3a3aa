#include "player/ShockwaveFlash.h"

namespace {

const BYTE* Params(const char* types)
{
    return reinterpret_cast<const BYTE*>(types);
}

} // namespace

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

void CShockwaveFlash::SetScaleMode(long mode)
{
    InvokeHelper(dispidScaleMode, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, Params(VTS_I4), mode);
}

void CShockwaveFlash::SetBackgroundColor(long colour)
{
    InvokeHelper(dispidBackgroundColor, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, Params(VTS_I4), colour);
}

long CShockwaveFlash::GetFrameNum()
{
    long result = 0;
    InvokeHelper(dispidFrameNum, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
    return result;
}

void CShockwaveFlash::Play()
{
    InvokeHelper(dispidPlay, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}

void CShockwaveFlash::Stop()
{
    InvokeHelper(dispidStop, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}

void CShockwaveFlash::LoadMovie(long layer, LPCSTR url)
{
    InvokeHelper(dispidLoadMovie, DISPATCH_METHOD, VT_EMPTY, nullptr, Params(VTS_I4 VTS_BSTR), layer, url);
}

void CShockwaveFlash::SetSavedDataFolder(LPCSTR folder)
{
    InvokeHelper(dispidSavedDataFolder, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, Params(VTS_BSTR), folder);
}
