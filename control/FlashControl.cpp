#include "control/FlashControl.h"

#include "control/PreparedView.h"
#include "platform/Timeline.h"

#include <atomic>

namespace {

std::atomic<int> s_liveObjects { 0 };

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

CViewRelay& CFlashControl::View()
{
    if (!m_pView) {
        m_pView = std::make_unique<CViewRelay>(
            [this](const std::string& command, const std::string& args) { RaiseFSCommand(command, args); });
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
    return DispatchFlashMember(
        *static_cast<CFlashControl*>(self), dispid, kind, args, argCount, result, excep);
}

FlashAnswer CFlashControl::GetFrameNum(QvI4& value)
{
    value = View().FrameNum();
    return {};
}

FlashAnswer CFlashControl::Play()
{
    View().Play();
    return {};
}

FlashAnswer CFlashControl::Stop()
{
    View().Stop();
    return {};
}

FlashAnswer CFlashControl::GetScaleMode(QvI4& value)
{
    value = m_nScaleMode;
    return {};
}

FlashAnswer CFlashControl::PutScaleMode(QvI4 value)
{
    m_nScaleMode = value;
    View().SetScaleMode(value);
    return {};
}

FlashAnswer CFlashControl::GetBackgroundColor(QvI4& value)
{
    value = m_nBackground;
    return {};
}

FlashAnswer CFlashControl::PutBackgroundColor(QvI4 value)
{
    m_nBackground = value;
    View().SetBackgroundColor(value);
    return {};
}

FlashAnswer CFlashControl::LoadMovie(QvI4 layer, QvBstr path)
{
    if (!View().LoadMovie(layer, path))
        return { QV_DISP_E_EXCEPTION, "the movie file cannot be read" };
    return {};
}

FlashAnswer CFlashControl::PrepareMovie(QvBstr path)
{
    View().PrepareMovie(path);
    return {};
}

FlashAnswer CFlashControl::PutSavedDataFolder(QvBstr folder)
{
    View().SetSavedDataFolder(folder);
    return {};
}

FlashAnswer CFlashControl::PrepareEngine()
{
    // The object's own view, should it have one, is left alone.
    CPreparedView::Make();
    platform::TimelineMark("engine prepared");
    return {};
}
