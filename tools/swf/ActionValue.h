#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

// One value of a Push action. Each kind has its own type byte in the action:
//   0  string: UTF-8 bytes (SWF 6 and later) up to a NUL byte
//   2  null, no bytes
//   3  undefined, no bytes
//   5  boolean: one byte, 0 or 1
//   6  double: the IEEE 754 bits as two 32-bit little-endian words, the high
//      word first (bytes 4 5 6 7 0 1 2 3 of the little-endian double)
//   7  integer: 32 bits, little-endian, two's complement
class ActionValue {
public:
    struct Null { };
    struct Undefined { };
    using Variant = std::variant<std::string, std::int32_t, double, bool, Null, Undefined>;

    ActionValue(const char* text)
        : m_value(std::string(text))
    {
    }
    ActionValue(std::string text)
        : m_value(std::move(text))
    {
    }
    ActionValue(std::int32_t number)
        : m_value(number)
    {
    }
    ActionValue(double number)
        : m_value(number)
    {
    }
    ActionValue(bool flag)
        : m_value(flag)
    {
    }
    ActionValue(Null)
        : m_value(Null {})
    {
    }
    ActionValue(Undefined)
        : m_value(Undefined {})
    {
    }

    const Variant& Get() const { return m_value; }

private:
    Variant m_value { Undefined {} };
};
