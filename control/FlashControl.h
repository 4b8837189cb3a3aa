#pragma once

#include "control/ViewRelay.h"
#include "platform/FlashControlAbi.h"
#include "platform/FlashControlMembers.h"

#include <memory>

// One control object as the player sees it through the module's method
// table: the members the player drives, answered by its views (ViewRelay.h).
class CFlashControl : public QvControl {
public:
    CFlashControl();
    ~CFlashControl();
    CFlashControl(const CFlashControl&) = delete;
    CFlashControl& operator=(const CFlashControl&) = delete;

    static int LiveObjects();

    // The members the player drives (platform/FlashControlMembers.def).
#include "platform/FlashControlHandlers.inc"

private:
    static const QvControlVtbl s_vtbl;

    static void Release(QvControl* self);
    static int32_t FlashVersion(QvControl* self, int32_t* version);
    static int32_t Invoke(QvControl* self, int32_t dispid, uint16_t kind, const QvVariant* args,
        uint32_t argCount, QvVariant* result, QvExcepInfo* excep);
    static void* GetWidget(QvControl* self);
    static void SetEventSink(QvControl* self, QvEventSink sink, void* context);

    CViewRelay& View();
    void RaiseFSCommand(const std::string& command, const std::string& args);

    std::unique_ptr<CViewRelay> m_pView {};
    QvEventSink m_pSink { nullptr };
    void* m_pSinkContext { nullptr };
    LONG m_nScaleMode { 0 };
    LONG m_nBackground { QV_COLOUR_MOVIE_OWN };
};
