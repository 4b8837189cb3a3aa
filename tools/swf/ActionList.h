#pragma once

#include "platform/Types.h"

#include <string>
#include <vector>

// A sequence of frame actions for DoAction, in the first action language.
class CActionList {
public:
    CActionList& Stop();
    CActionList& Play();
    // `frame` counts from 0.
    CActionList& GotoFrame(WORD frame);
    CActionList& GetUrl(const std::string& url, const std::string& target);
    // fscommand(command, arguments) is a getURL of "FSCommand:" + command.
    CActionList& FsCommand(const std::string& command, const std::string& arguments = {});

    // The encoded actions followed by the end marker.
    std::vector<BYTE> Encode() const;

private:
    std::vector<BYTE> m_bytes {};
};
