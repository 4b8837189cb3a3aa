#pragma once

// The Flash control written in the tests, registered in-process under the
// Flash class id: records every automation call, answers FrameNum from a
// script, reports the version it is given, fails members on request and
// raises events for the test.

#include "platform/Com.h"
#include "platform/FlashControlAbi.h"

#include <deque>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
    int dispid;
    int kind;
    std::vector<std::string> args; // integers as decimal text
};

// What every fake made after Install starts with.
struct FakeControlSetup {
    int32_t version { QV_FLASH_VERSION }; // FlashVersion's answer
    std::set<int> failing {}; // members that fail (DISP_E_EXCEPTION, E_FAIL with a text)
    std::set<int> unknown {}; // members it does not know (DISP_E_MEMBERNOTFOUND, no text)
};

class CFakeControl : public QvControl {
public:
    explicit CFakeControl(const FakeControlSetup& setup = {});
    ~CFakeControl();

    // Registers the class so that every control created from now on is a
    // fake made with `setup`; the latest one made is Current().
    static void Install(const FakeControlSetup& setup = {});
    static void Uninstall();
    static CFakeControl* Current();

    void RaiseFSCommand(const std::string& command, const std::string& args);
    std::vector<FakeCall> CallsTo(int dispid) const;

    std::vector<FakeCall> m_calls {};
    std::deque<int> m_frames {}; // FrameNum answers in turn; the last one repeats
    int32_t m_version { QV_FLASH_VERSION };
    std::set<int> m_failing {};
    std::set<int> m_unknown {};
    QvEventSink m_sink { nullptr };
    void* m_sinkContext { nullptr };
};
