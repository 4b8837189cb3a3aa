#include "control/FlashControl.h"

#include "control/PreparedView.h"
#include "platform/Timeline.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<int> s_liveObjects { 0 };

int32_t Fail(QvExcepInfo* excep, int32_t code, const char* text)
{
    if (excep) {
        excep->scode = code;
        std::snprintf(excep->description, sizeof excep->description, "%s", text);
    }
    return code;
}

bool IsInteger(const QvVariant& v)
{
    return v.vt == QV_VT_I4;
}
bool IsString(const QvVariant& v)
{
    return v.vt == QV_VT_BSTR && v.strVal;
}

} // namespace

const QvControlVtbl CFlashControl::s_vtbl = {
    QV_CONTROL_ABI_VERSION,
    &CFlashControl::Release,
    &CFlashControl::FlashVersion,
    &CFlashControl::Invoke,
    &CFlashControl::GetWidget,
    &CFlashControl::SetEventSink,
};

CFlashControl::CFlashControl()
{
    vtbl = &s_vtbl;
    ++s_liveObjects;
}

CFlashControl::~CFlashControl()
{
    --s_liveObjects;
}

int CFlashControl::LiveObjects()
{
    return s_liveObjects;
}

void CFlashControl::Release(QvControl* self)
{
    delete static_cast<CFlashControl*>(self);
}

int32_t CFlashControl::FlashVersion(QvControl*, int32_t* version)
{
    if (!version)
        return QV_DISP_E_TYPEMISMATCH;
    *version = QV_FLASH_VERSION;
    return 0;
}

CRuffleView& CFlashControl::View()
{
    if (!m_pView) {
        auto onFSCommand
            = [this](const std::string& command, const std::string& args) { RaiseFSCommand(command, args); };
        // The engine prepared ahead, when there is one that works.
        m_pView = CPreparedView::Take();
        if (m_pView)
            m_pView->Adopt(onFSCommand);
        else
            m_pView = std::make_unique<CRuffleView>(onFSCommand);
        m_pView->SetScaleMode(m_nScaleMode);
        if (m_nBackground >= 0)
            m_pView->SetBackgroundColor(m_nBackground);
    }
    return *m_pView;
}

void* CFlashControl::GetWidget(QvControl* self)
{
    return static_cast<CFlashControl*>(self)->View().Widget();
}

void CFlashControl::SetEventSink(QvControl* self, QvEventSink sink, void* context)
{
    auto* control = static_cast<CFlashControl*>(self);
    control->m_pSink = sink;
    control->m_pSinkContext = context;
}

// The movie's calls reach the container unchanged, command and argument.
void CFlashControl::RaiseFSCommand(const std::string& command, const std::string& args)
{
    if (!m_pSink)
        return;
    QvVariant arguments[2] {};
    arguments[0].vt = QV_VT_BSTR;
    arguments[0].strVal = command.c_str();
    arguments[1].vt = QV_VT_BSTR;
    arguments[1].strVal = args.c_str();
    m_pSink(m_pSinkContext, QV_DISPID_FSCOMMAND, arguments, 2);
}

int32_t CFlashControl::Invoke(QvControl* self, int32_t dispid, uint16_t kind, const QvVariant* args,
    uint32_t argCount, QvVariant* result, QvExcepInfo* excep)
{
    auto* control = static_cast<CFlashControl*>(self);
    auto wantArgs = [&](uint32_t count) { return argCount == count && (count == 0 || args); };

    switch (dispid) {
    case QV_DISPID_SCALE_MODE:
        if (kind == QV_DISPATCH_PROPERTYPUT && wantArgs(1) && IsInteger(args[0])) {
            control->m_nScaleMode = args[0].lVal;
            control->View().SetScaleMode(args[0].lVal);
            return 0;
        }
        if (kind == QV_DISPATCH_PROPERTYGET && result) {
            *result = QvVariant { QV_VT_I4, control->m_nScaleMode, nullptr };
            return 0;
        }
        break;
    case QV_DISPID_BACKGROUND_COLOR:
        if (kind == QV_DISPATCH_PROPERTYPUT && wantArgs(1) && IsInteger(args[0])) {
            control->m_nBackground = args[0].lVal;
            control->View().SetBackgroundColor(args[0].lVal);
            return 0;
        }
        if (kind == QV_DISPATCH_PROPERTYGET && result) {
            *result = QvVariant { QV_VT_I4, control->m_nBackground, nullptr };
            return 0;
        }
        break;
    case QV_DISPID_SAVED_DATA_FOLDER:
        if (kind == QV_DISPATCH_PROPERTYPUT && wantArgs(1) && IsString(args[0])) {
            control->View().SetSavedDataFolder(args[0].strVal);
            return 0;
        }
        break;
    case QV_DISPID_FRAME_NUM:
        if (kind == QV_DISPATCH_PROPERTYGET && result) {
            *result = QvVariant { QV_VT_I4, control->View().FrameNum(), nullptr };
            return 0;
        }
        break;
    case QV_DISPID_PLAY:
    case QV_DISPID_STOP:
        if (kind == QV_DISPATCH_METHOD && wantArgs(0)) {
            if (dispid == QV_DISPID_PLAY)
                control->View().Play();
            else
                control->View().Stop();
            return 0;
        }
        break;
    case QV_DISPID_PREPARE_ENGINE:
        if (kind == QV_DISPATCH_METHOD && wantArgs(0)) {
            // The object's own view, should it have one, is left alone.
            CPreparedView::Make();
            platform::TimelineMark("engine prepared");
            return 0;
        }
        break;
    case QV_DISPID_LOAD_MOVIE:
        if (kind == QV_DISPATCH_METHOD && wantArgs(2) && IsInteger(args[0]) && IsString(args[1])) {
            if (!control->View().LoadMovie(args[0].lVal, args[1].strVal))
                return Fail(excep, QV_DISP_E_EXCEPTION, "the movie file cannot be read");
            return 0;
        }
        break;
    default:
        return Fail(excep, QV_DISP_E_MEMBERNOTFOUND, "no such member");
    }
    return Fail(excep, QV_DISP_E_TYPEMISMATCH, "wrong kind or arguments for this member");
}
