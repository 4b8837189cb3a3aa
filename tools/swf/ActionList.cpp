#include "tools/swf/ActionList.h"

#include "platform/LittleEndianWriter.h"

#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

// Action codes. Below 0x80 an action is its code alone.
enum ActionCode : BYTE {
    ActionEnd = 0x00,
    ActionPlay = 0x06,
    ActionStop = 0x07,
    ActionNot = 0x12,
    ActionStringEquals = 0x13,
    ActionPop = 0x17,
    ActionGetVariable = 0x1C,
    ActionSetVariable = 0x1D,
    ActionGetProperty = 0x22,
    ActionSetProperty = 0x23,
    ActionTrace = 0x26,
    ActionCallFunction = 0x3D,
    ActionReturn = 0x3E,
    ActionNewObject = 0x40,
    ActionInitObject = 0x43,
    ActionAdd2 = 0x47,
    ActionLess2 = 0x48,
    ActionEquals2 = 0x49,
    ActionToNumber = 0x4A,
    ActionToString = 0x4B,
    ActionGetMember = 0x4E,
    ActionSetMember = 0x4F,
    ActionCallMethod = 0x52,
    ActionStrictEquals = 0x66,
    ActionGotoFrame = 0x81,
    ActionGetUrl = 0x83,
    ActionPush = 0x96,
    ActionJump = 0x99,
    ActionGetUrl2 = 0x9A,
    ActionDefineFunction = 0x9B,
    ActionIf = 0x9D,
    ActionGotoFrame2 = 0x9F,
};

// Push value types.
enum PushType : BYTE {
    PushString = 0,
    PushNull = 2,
    PushUndefined = 3,
    PushBoolean = 5,
    PushDouble = 6,
    PushInteger = 7,
};

// A NUL-terminated string; the format has no way to carry a NUL inside one.
void AppendString(std::vector<BYTE>& bytes, const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("action strings cannot hold a NUL character");
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
}

std::string LevelName(int level)
{
    if (level < 0)
        throw std::invalid_argument("levels count from 0");
    return "_level" + std::to_string(level);
}

} // namespace

CActionList& CActionList::Action(BYTE code, const std::vector<BYTE>& operands)
{
    if (code < 0x80 && !operands.empty())
        throw std::invalid_argument("actions below 0x80 have no operands");
    if (operands.size() > std::numeric_limits<WORD>::max())
        throw std::length_error("an action's operands are at most 65535 bytes");
    m_bytes.push_back(code);
    if (code >= 0x80) {
        LittleEndianWriter(m_bytes).U16(WORD(operands.size()));
        m_bytes.insert(m_bytes.end(), operands.begin(), operands.end());
    }
    return *this;
}

CActionList& CActionList::Stop()
{
    return Action(ActionStop);
}

CActionList& CActionList::Play()
{
    return Action(ActionPlay);
}

CActionList& CActionList::GotoFrame(WORD frame)
{
    std::vector<BYTE> operands;
    LittleEndianWriter(operands).U16(frame);
    return Action(ActionGotoFrame, operands);
}

CActionList& CActionList::GotoFrame2(bool play)
{
    // Bit 0 plays; bit 1 (a scene bias of 16 bits follows) stays clear.
    return Action(ActionGotoFrame2, { BYTE(play ? 1 : 0) });
}

CActionList& CActionList::GetUrl(const std::string& url, const std::string& target)
{
    std::vector<BYTE> operands;
    AppendString(operands, url);
    AppendString(operands, target);
    return Action(ActionGetUrl, operands);
}

CActionList& CActionList::FsCommand(const std::string& command, const std::string& arguments)
{
    return GetUrl("FSCommand:" + command, arguments);
}

CActionList& CActionList::PushValues(std::initializer_list<ActionValue> values)
{
    return AppendPush(values);
}

CActionList& CActionList::AppendPush(std::span<const ActionValue> values)
{
    std::vector<BYTE> operands;
    for (const ActionValue& value : values) {
        std::visit(
            [&](const auto& item) {
                using T = std::decay_t<decltype(item)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    operands.push_back(PushString);
                    AppendString(operands, item);
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    operands.push_back(PushInteger);
                    LittleEndianWriter(operands).U32(std::uint32_t(item));
                } else if constexpr (std::is_same_v<T, double>) {
                    std::uint64_t bits = std::bit_cast<std::uint64_t>(item);
                    operands.push_back(PushDouble);
                    LittleEndianWriter(operands).U32(std::uint32_t(bits >> 32));
                    LittleEndianWriter(operands).U32(std::uint32_t(bits));
                } else if constexpr (std::is_same_v<T, bool>) {
                    operands.push_back(PushBoolean);
                    operands.push_back(item ? 1 : 0);
                } else if constexpr (std::is_same_v<T, ActionValue::Null>) {
                    operands.push_back(PushNull);
                } else {
                    operands.push_back(PushUndefined);
                }
            },
            value.Get());
    }
    return Action(ActionPush, operands);
}

CActionList& CActionList::GetVariable()
{
    return Action(ActionGetVariable);
}

CActionList& CActionList::SetVariable()
{
    return Action(ActionSetVariable);
}

CActionList& CActionList::GetMember()
{
    return Action(ActionGetMember);
}

CActionList& CActionList::SetMember()
{
    return Action(ActionSetMember);
}

CActionList& CActionList::GetProperty()
{
    return Action(ActionGetProperty);
}

CActionList& CActionList::SetProperty()
{
    return Action(ActionSetProperty);
}

CActionList& CActionList::CallFunction()
{
    return Action(ActionCallFunction);
}

CActionList& CActionList::CallMethod()
{
    return Action(ActionCallMethod);
}

CActionList& CActionList::NewObject()
{
    return Action(ActionNewObject);
}

CActionList& CActionList::InitObject()
{
    return Action(ActionInitObject);
}

CActionList& CActionList::Pop()
{
    return Action(ActionPop);
}

CActionList& CActionList::Return()
{
    return Action(ActionReturn);
}

CActionList& CActionList::Add2()
{
    return Action(ActionAdd2);
}

CActionList& CActionList::Less2()
{
    return Action(ActionLess2);
}

CActionList& CActionList::Equals2()
{
    return Action(ActionEquals2);
}

CActionList& CActionList::StrictEquals()
{
    return Action(ActionStrictEquals);
}

CActionList& CActionList::StringEquals()
{
    return Action(ActionStringEquals);
}

CActionList& CActionList::Not()
{
    return Action(ActionNot);
}

CActionList& CActionList::ToNumber()
{
    return Action(ActionToNumber);
}

CActionList& CActionList::ToString()
{
    return Action(ActionToString);
}

CActionList& CActionList::Trace()
{
    return Action(ActionTrace);
}

CActionList& CActionList::Label(const std::string& name)
{
    for (const auto& label : m_labels) {
        if (label.first == name)
            throw std::logic_error("label placed twice: " + name);
    }
    m_labels.emplace_back(name, m_bytes.size());
    return *this;
}

CActionList& CActionList::AppendBranch(BYTE code, const std::string& label)
{
    // A 16-bit offset, filled in by EncodeBody().
    Action(code, { 0, 0 });
    m_branches.push_back({ m_bytes.size() - 2, label });
    return *this;
}

CActionList& CActionList::If(const std::string& label)
{
    return AppendBranch(ActionIf, label);
}

CActionList& CActionList::Jump(const std::string& label)
{
    return AppendBranch(ActionJump, label);
}

CActionList& CActionList::GetUrl2(BYTE flags)
{
    return Action(ActionGetUrl2, { flags });
}

CActionList& CActionList::LoadMovie(const std::string& url, const std::string& target)
{
    return Push(url, target).GetUrl2(GetUrl2TargetClip);
}

CActionList& CActionList::LoadMovieNum(const std::string& url, int level)
{
    // A "_levelN" window is a level, not a browser window.
    return Push(url, LevelName(level)).GetUrl2(GetUrl2SendNone);
}

CActionList& CActionList::LoadVariables(const std::string& url, const std::string& target)
{
    return Push(url, target).GetUrl2(GetUrl2LoadVariables | GetUrl2TargetClip);
}

CActionList& CActionList::LoadVariablesNum(const std::string& url, int level)
{
    return Push(url, LevelName(level)).GetUrl2(GetUrl2LoadVariables);
}

CActionList& CActionList::DefineFunction(
    const std::string& name, const std::vector<std::string>& parameters, const CActionList& body)
{
    // Operands: name, parameter count (16 bits), parameter names, body size
    // (16 bits). The body follows the action and is not counted in its length.
    std::vector<BYTE> code = body.EncodeBody();
    if (code.size() > std::numeric_limits<WORD>::max())
        throw std::length_error("a function body is at most 65535 bytes");
    std::vector<BYTE> operands;
    AppendString(operands, name);
    LittleEndianWriter(operands).U16(WORD(parameters.size()));
    for (const std::string& parameter : parameters)
        AppendString(operands, parameter);
    LittleEndianWriter(operands).U16(WORD(code.size()));
    Action(ActionDefineFunction, operands);
    m_bytes.insert(m_bytes.end(), code.begin(), code.end());
    return *this;
}

CActionList& CActionList::PushArguments(std::initializer_list<ActionValue> arguments)
{
    // The last argument goes deepest, then the count.
    std::vector<ActionValue> values(std::rbegin(arguments), std::rend(arguments));
    values.emplace_back(std::int32_t(arguments.size()));
    return AppendPush(values);
}

CActionList& CActionList::CallMethodOn(
    const std::string& object, const std::string& method, std::initializer_list<ActionValue> arguments)
{
    return PushArguments(arguments).Push(object).GetVariable().Push(method).CallMethod();
}

CActionList& CActionList::CallFunctionNamed(
    const std::string& name, std::initializer_list<ActionValue> arguments)
{
    return PushArguments(arguments).Push(name).CallFunction();
}

CActionList& CActionList::SetVariableTo(const std::string& name, const ActionValue& value)
{
    return PushValues({ ActionValue(name), value }).SetVariable();
}

CActionList& CActionList::SetMemberOf(
    const std::string& object, const std::string& member, const ActionValue& value)
{
    return Push(object).GetVariable().PushValues({ ActionValue(member), value }).SetMember();
}

std::vector<BYTE> CActionList::EncodeBody() const
{
    std::vector<BYTE> bytes = m_bytes;
    for (const Branch& branch : m_branches) {
        auto label = m_labels.begin();
        while (label != m_labels.end() && label->first != branch.label)
            ++label;
        if (label == m_labels.end())
            throw std::logic_error("branch to a label never placed: " + branch.label);
        // Relative to the action after the branch, which ends with its offset.
        std::ptrdiff_t offset = std::ptrdiff_t(label->second) - std::ptrdiff_t(branch.offsetAt + 2);
        if (offset < std::numeric_limits<std::int16_t>::min()
            || offset > std::numeric_limits<std::int16_t>::max())
            throw std::length_error("branch to " + branch.label + " is beyond 16 bits of offset");
        LittleEndianWriter(bytes).PatchU16(branch.offsetAt, std::uint16_t(offset));
    }
    return bytes;
}

std::vector<BYTE> CActionList::Encode() const
{
    std::vector<BYTE> bytes = EncodeBody();
    bytes.push_back(ActionEnd);
    return bytes;
}
