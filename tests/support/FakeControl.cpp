#include "support/FakeControl.h"

#include <cstdio>

namespace {

CFakeControl* s_current = nullptr;
FakeControlSetup s_setup {};

void Release(QvControl* self)
{
    delete static_cast<CFakeControl*>(self);
}

int32_t FlashVersion(QvControl* self, int32_t* version)
{
    *version = static_cast<CFakeControl*>(self)->m_version;
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
        return QV_DISP_E_MEMBERNOTFOUND;
    if (control->m_failing.contains(dispid)) {
        if (excep) {
            excep->scode = E_FAIL;
            std::snprintf(excep->description, sizeof excep->description, "member %d failed", int(dispid));
        }
        return QV_DISP_E_EXCEPTION;
    }
    if (dispid == QV_DISPID_FRAME_NUM) {
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
    *control = new CFakeControl(s_setup);
    return 0;
}

platform::CLSID FlashClass()
{
    return *platform::CLSIDFromString(QV_FLASH_CLSID);
}

} // namespace

CFakeControl::CFakeControl(const FakeControlSetup& setup)
    : QvControl { &s_vtbl }
    , m_version { setup.version }
    , m_failing { setup.failing }
    , m_unknown { setup.unknown }
{
    s_current = this;
}

CFakeControl::~CFakeControl()
{
    if (s_current == this)
        s_current = nullptr;
}

void CFakeControl::Install(const FakeControlSetup& setup)
{
    s_setup = setup;
    platform::RegisterInProcessClass(FlashClass(), &Create);
}

void CFakeControl::Uninstall()
{
    s_setup = {};
    platform::RegisterInProcessClass(FlashClass(), nullptr);
}

CFakeControl* CFakeControl::Current()
{
    return s_current;
}

void CFakeControl::RaiseFSCommand(const std::string& command, const std::string& args)
{
    QvVariant values[2] = { { QV_VT_BSTR, 0, command.c_str() }, { QV_VT_BSTR, 0, args.c_str() } };
    if (m_sink)
        m_sink(m_sinkContext, QV_DISPID_FSCOMMAND, values, 2);
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
