#pragma once

#include "platform/Types.h"
#include "tools/swf/ActionValue.h"

#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

// Bits of the GetURL2 action's one byte. Bits 0-1 say how the timeline's
// variables go with the request; bit 6 says the target names a movie clip
// (or "_levelN") rather than a browser window; bit 7 says the reply is
// "name=value&..." variables instead of a movie. Bits 2-5 are zero.
enum GetUrl2Flags : BYTE {
    GetUrl2SendNone = 0x00,
    GetUrl2SendGet = 0x01,
    GetUrl2SendPost = 0x02,
    GetUrl2TargetClip = 0x40,
    GetUrl2LoadVariables = 0x80,
};

// A sequence of actions for DoAction, a button or a function body, in the
// first action language (a stack machine). Each action is one byte of code;
// codes 0x80 and above are followed by a 16-bit little-endian length and that
// many bytes of operands. Stack operations note what they pop (top of the
// stack last) and what they push.
class CActionList {
public:
    // Frame control.
    CActionList& Stop();
    CActionList& Play();
    // `frame` counts from 0.
    CActionList& GotoFrame(WORD frame);
    // Pops a frame number (counting from 1) or label; goes there and plays
    // when `play`, stops there otherwise.
    CActionList& GotoFrame2(bool play);
    CActionList& GetUrl(const std::string& url, const std::string& target);
    // fscommand(command, arguments) is a getURL of "FSCommand:" + command.
    CActionList& FsCommand(const std::string& command, const std::string& arguments = {});

    // One Push action carrying all `values`, pushed left to right.
    template<typename... Values> CActionList& Push(const Values&... values)
    {
        return PushValues({ ActionValue(values)... });
    }
    CActionList& PushValues(std::initializer_list<ActionValue> values);

    // Variables and objects.
    CActionList& GetVariable(); // name -> value
    CActionList& SetVariable(); // name value ->
    CActionList& GetMember(); // object name -> value
    CActionList& SetMember(); // object name value ->
    CActionList& GetProperty(); // target index -> value
    CActionList& SetProperty(); // target index value ->
    // args... (last argument first) count name -> result
    CActionList& CallFunction();
    // args... (last argument first) count object name -> result
    CActionList& CallMethod();
    // args... (last argument first) count name -> new object
    CActionList& NewObject();
    // (name value)... count -> object
    CActionList& InitObject();
    CActionList& Pop();
    CActionList& Return(); // value -> ; leaves the function

    // Arithmetic and comparisons.
    CActionList& Add2(); // a b -> a + b
    CActionList& Less2(); // a b -> a < b
    CActionList& Equals2(); // a b -> a == b
    CActionList& StrictEquals(); // a b -> a === b
    CActionList& StringEquals(); // a b -> a eq b
    CActionList& Not(); // a -> !a
    CActionList& ToNumber();
    CActionList& ToString();
    CActionList& Trace(); // value ->

    // Branches. A label names the place between two actions; If pops a value
    // and branches when it is true, Jump always does. Offsets are resolved by
    // Encode(); a label that is never placed, or placed twice, throws
    // std::logic_error.
    CActionList& Label(const std::string& name);
    CActionList& If(const std::string& label);
    CActionList& Jump(const std::string& label);

    // url target -> ; `flags` from GetUrl2Flags.
    CActionList& GetUrl2(BYTE flags);
    // The GetURL2 forms of the movie loading functions.
    // loadMovie(url, target): into a clip path such as "_root.box", or "_levelN".
    CActionList& LoadMovie(const std::string& url, const std::string& target);
    // loadMovieNum(url, level)
    CActionList& LoadMovieNum(const std::string& url, int level);
    // loadVariables(url, target): the reply's variables are set on the clip.
    CActionList& LoadVariables(const std::string& url, const std::string& target);
    // loadVariablesNum(url, level)
    CActionList& LoadVariablesNum(const std::string& url, int level);

    // DefineFunction: `name` empty pushes the function as a value (for
    // `obj.onLoad = function (ok) { ... }`); otherwise it defines a function
    // of that name in the current scope. Labels inside `body` are its own.
    CActionList& DefineFunction(
        const std::string& name, const std::vector<std::string>& parameters, const CActionList& body);

    // Shorthands for the common statements.
    // object.method(arguments...), the result left on the stack. `object` is a
    // variable name or path ("Key", "_root.xml").
    CActionList& CallMethodOn(const std::string& object, const std::string& method,
        std::initializer_list<ActionValue> arguments = {});
    // name(arguments...), the result left on the stack.
    CActionList& CallFunctionNamed(
        const std::string& name, std::initializer_list<ActionValue> arguments = {});
    // name = value;
    CActionList& SetVariableTo(const std::string& name, const ActionValue& value);
    // object.member = value;
    CActionList& SetMemberOf(const std::string& object, const std::string& member, const ActionValue& value);

    // Any other action: `code` below 0x80 must come without operands.
    CActionList& Action(BYTE code, const std::vector<BYTE>& operands = {});

    // The actions with branch offsets resolved, without the end marker (the
    // form a function body takes).
    std::vector<BYTE> EncodeBody() const;
    // The actions followed by the end marker (action code 0).
    std::vector<BYTE> Encode() const;

private:
    struct Branch {
        std::size_t offsetAt { 0 }; // index of the 16-bit offset in m_bytes
        std::string label {};
    };

    CActionList& AppendBranch(BYTE code, const std::string& label);
    CActionList& AppendPush(std::span<const ActionValue> values);
    CActionList& PushArguments(std::initializer_list<ActionValue> arguments);

    std::vector<BYTE> m_bytes {};
    std::vector<std::pair<std::string, std::size_t>> m_labels {};
    std::vector<Branch> m_branches {};
};
