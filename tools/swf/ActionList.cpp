#include "tools/swf/ActionList.h"

namespace {

constexpr BYTE ActionPlay = 0x06;
constexpr BYTE ActionStop = 0x07;
constexpr BYTE ActionGotoFrame = 0x81;
constexpr BYTE ActionGetUrl = 0x83;

void AppendU16(std::vector<BYTE>& bytes, WORD value)
{
    bytes.push_back(BYTE(value));
    bytes.push_back(BYTE(value >> 8));
}

} // namespace

CActionList& CActionList::Stop()
{
    m_bytes.push_back(ActionStop);
    return *this;
}

CActionList& CActionList::Play()
{
    m_bytes.push_back(ActionPlay);
    return *this;
}

CActionList& CActionList::GotoFrame(WORD frame)
{
    m_bytes.push_back(ActionGotoFrame);
    AppendU16(m_bytes, 2);
    AppendU16(m_bytes, frame);
    return *this;
}

CActionList& CActionList::GetUrl(const std::string& url, const std::string& target)
{
    m_bytes.push_back(ActionGetUrl);
    AppendU16(m_bytes, WORD(url.size() + 1 + target.size() + 1));
    m_bytes.insert(m_bytes.end(), url.begin(), url.end());
    m_bytes.push_back(0);
    m_bytes.insert(m_bytes.end(), target.begin(), target.end());
    m_bytes.push_back(0);
    return *this;
}

CActionList& CActionList::FsCommand(const std::string& command, const std::string& arguments)
{
    return GetUrl("FSCommand:" + command, arguments);
}

std::vector<BYTE> CActionList::Encode() const
{
    std::vector<BYTE> bytes = m_bytes;
    bytes.push_back(0); // end of actions
    return bytes;
}
