#pragma once

// A Flash control's dispatch, made from the list of its members
// (platform/FlashControlMembers.def). A control class declares one handler
// a member inside its body by including platform/FlashControlHandlers.inc:
//
//   property X, GET:  FlashAnswer GetX(T& value);
//   property X, PUT:  FlashAnswer PutX(T value);
//   method X(P...):   FlashAnswer X(P...);
//
// and its Invoke calls DispatchFlashMember, which checks each call's kind
// and arguments against the list before it calls the handler.

#include "platform/FlashControlAbi.h"

#include <cstdio>
#include <utility>

// What a handler answers: nothing (done), or a failure's code and the
// text the container is given with it.
struct FlashAnswer {
    int32_t code { 0 };
    const char* text { nullptr };
};

namespace flash_dispatch {

template<typename T> struct Value;

template<> struct Value<QvI4> {
    static bool Is(const QvVariant& v) { return v.vt == QV_VT_I4; }
    static QvI4 From(const QvVariant& v) { return v.lVal; }
    static QvVariant To(QvI4 value) { return QvVariant { QV_VT_I4, value, nullptr }; }
};

template<> struct Value<QvBstr> {
    static bool Is(const QvVariant& v) { return v.vt == QV_VT_BSTR && v.strVal; }
    static QvBstr From(const QvVariant& v) { return v.strVal; }
};

inline constexpr FlashAnswer Mismatch { QV_DISP_E_TYPEMISMATCH, "wrong kind or arguments for this member" };

template<typename C, typename... P, std::size_t... I>
FlashAnswer Call(
    C& control, FlashAnswer (C::*handler)(P...), const QvVariant* args, std::index_sequence<I...>)
{
    return (control.*handler)(Value<P>::From(args[I])...);
}

// A method or a property's put: the arguments must be the handler's.
template<typename C, typename... P>
FlashAnswer Put(C& control, FlashAnswer (C::*handler)(P...), const QvVariant* args, uint32_t count)
{
    if (count != sizeof...(P) || (count != 0 && !args))
        return Mismatch;
    std::size_t at = 0;
    if (!(Value<P>::Is(args[at++]) && ...))
        return Mismatch;
    return Call(control, handler, args, std::index_sequence_for<P...> {});
}

template<typename C, typename T> FlashAnswer Get(C& control, FlashAnswer (C::*handler)(T&), QvVariant* result)
{
    if (!result)
        return Mismatch;
    T value {};
    FlashAnswer answer = (control.*handler)(value);
    if (answer.code == 0)
        *result = Value<T>::To(value);
    return answer;
}

} // namespace flash_dispatch

// Calls the handler of member `dispid` on `control`; the answer's code is
// returned and its text, for a failure, goes to `excep`.
template<typename C>
int32_t DispatchFlashMember(C& control, int32_t dispid, uint16_t kind, const QvVariant* args, uint32_t count,
    QvVariant* result, QvExcepInfo* excep)
{
    using namespace flash_dispatch;
    FlashAnswer answer { QV_DISP_E_MEMBERNOTFOUND, "no such member" };
    bool get = kind == QV_DISPATCH_PROPERTYGET;
    bool put = kind == QV_DISPATCH_PROPERTYPUT;
#define QV_FLASH_ACCESS_GET(name) get ? Get(control, &C::Get##name, result) : Mismatch
#define QV_FLASH_ACCESS_PUT(name) put ? Put(control, &C::Put##name, args, count) : Mismatch
#define QV_FLASH_ACCESS_GET_PUT(name)                                                                        \
    get ? Get(control, &C::Get##name, result) : put ? Put(control, &C::Put##name, args, count) : Mismatch
#define QV_FLASH_PROPERTY(name, id, number, type, access)                                                    \
    case id:                                                                                                 \
        answer = QV_FLASH_ACCESS_##access(name);                                                             \
        break;
#define QV_FLASH_METHOD(name, id, number, params)                                                            \
    case id:                                                                                                 \
        answer = kind == QV_DISPATCH_METHOD ? Put(control, &C::name, args, count) : Mismatch;                \
        break;
    switch (dispid) {
#include "platform/FlashControlMembers.def"
    default:
        break;
    }
#undef QV_FLASH_ACCESS_GET
#undef QV_FLASH_ACCESS_PUT
#undef QV_FLASH_ACCESS_GET_PUT
    if (answer.code != 0 && excep) {
        excep->scode = answer.code;
        std::snprintf(excep->description, sizeof excep->description, "%s", answer.text ? answer.text : "");
    }
    return answer.code;
}
