#pragma once

// A Flash control written in the test: records every automation call,
// answers FrameNum from a script, fails members on request and raises
// events for the test. Registered in-process under the Flash class id.

#include "platform/Com.h"

#include <deque>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
    int dispid;
    int kind;
    std::vector<std::string> args; // integers as decimal text
};

class CFakeControl : public QvControl {
public:
    CFakeControl();
    ~CFakeControl();

    // Registers the class so that the next control created is a fake; the
    // latest one made is Current().
    static void Install();
    static void Uninstall();
    static CFakeControl* Current();

    void RaiseFSCommand(const std::string& command, const std::string& args);
    std::vector<FakeCall> CallsTo(int dispid) const;

    std::vector<FakeCall> m_calls {};
    std::deque<int> m_frames {}; // FrameNum answers in turn; the last one repeats
    std::set<int> m_failing {}; // members that fail
    std::set<int> m_unknown {}; // members it does not know (DISP_E_MEMBERNOTFOUND, no text)
    QvEventSink m_sink { nullptr };
    void* m_sinkContext { nullptr };
};
