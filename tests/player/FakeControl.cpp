#include "player/FakeControl.h"

#include "player/ShockwaveFlash.h"

#include <cstdio>

namespace {

CFakeControl* s_current = nullptr;

void Release(QvControl* self)
{
    delete static_cast<CFakeControl*>(self);
}

int32_t FlashVersion(QvControl*, int32_t* version)
{
    *version = 8 << 16;
    return 0;
}

int32_t Invoke(QvControl* self, int32_t dispid, uint16_t kind, const QvVariant* args, uint32_t argCount,
    QvVariant* result, QvExcepInfo* excep)
{
    auto* control = static_cast<CFakeControl*>(self);
    FakeCall call { dispid, kind, {} };
    for (uint32_t i = 0; i < argCount; ++i)
        call.args.push_back(
            args[i].vt == QV_VT_BSTR ? std::string(args[i].strVal) : std::to_string(args[i].lVal));
    control->m_calls.push_back(call);
    if (control->m_unknown.contains(dispid))
        return int32_t(0x80020003);
    if (control->m_failing.contains(dispid)) {
        if (excep) {
            excep->scode = int32_t(0x80004005);
            std::snprintf(excep->description, sizeof excep->description, "member %d failed", int(dispid));
        }
        return int32_t(0x80020009);
    }
    if (dispid == CShockwaveFlash::dispidFrameNum) {
        result->vt = QV_VT_I4;
        result->lVal = control->m_frames.empty() ? 0 : control->m_frames.front();
        if (control->m_frames.size() > 1)
            control->m_frames.pop_front();
    }
    return 0;
}

void* GetWidget(QvControl*)
{
    return nullptr;
}

void SetEventSink(QvControl* self, QvEventSink sink, void* context)
{
    auto* control = static_cast<CFakeControl*>(self);
    control->m_sink = sink;
    control->m_sinkContext = context;
}

const QvControlVtbl s_vtbl { QV_CONTROL_ABI_VERSION, &Release, &FlashVersion, &Invoke, &GetWidget,
    &SetEventSink };

int32_t Create(const char*, uint32_t, QvControl** control)
{
    *control = new CFakeControl;
    return 0;
}

} // namespace

CFakeControl::CFakeControl()
    : QvControl { &s_vtbl }
{
    s_current = this;
}

CFakeControl::~CFakeControl()
{
    if (s_current == this)
        s_current = nullptr;
}

void CFakeControl::Install()
{
    platform::RegisterInProcessClass(CShockwaveFlash::clsid, &Create);
}

void CFakeControl::Uninstall()
{
    platform::RegisterInProcessClass(CShockwaveFlash::clsid, nullptr);
}

CFakeControl* CFakeControl::Current()
{
    return s_current;
}

void CFakeControl::RaiseFSCommand(const std::string& command, const std::string& args)
{
    QvVariant values[2] = { { QV_VT_BSTR, 0, command.c_str() }, { QV_VT_BSTR, 0, args.c_str() } };
    if (m_sink)
        m_sink(m_sinkContext, CShockwaveFlash::dispidFSCommand, values, 2);
}

std::vector<FakeCall> CFakeControl::CallsTo(int dispid) const
{
    std::vector<FakeCall> calls;
    for (const auto& call : m_calls) {
        if (call.dispid == dispid)
            calls.push_back(call);
    }
    return calls;
}
