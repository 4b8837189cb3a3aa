#pragma once

#include "tools/pack/Failure.h"

#include <utility>
#include <variant>

// A value, or the failure that stopped the work that was to make it. Every
// step of a verb that can fail returns one; the verb's top turns a failure
// into its lines and exit status (ExitStatus, tools/pack/Failure.h).
template<typename T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Failure failure)
        : m_state(std::in_place_index<1>, std::move(failure))
    {
    }

    explicit operator bool() const { return m_state.index() == 0; }
    T& operator*() { return std::get<0>(m_state); }
    const T& operator*() const { return std::get<0>(m_state); }
    T* operator->() { return &std::get<0>(m_state); }
    const T* operator->() const { return &std::get<0>(m_state); }
    T Release() { return std::move(std::get<0>(m_state)); }
    const Failure& Error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

template<> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure)
        : m_failure(std::move(failure))
        , m_failed(true)
    {
    }

    explicit operator bool() const { return !m_failed; }
    void Release() { }
    const Failure& Error() const { return m_failure; }

private:
    Failure m_failure {};
    bool m_failed { false };
};

// The value of a Result, or a return of its failure from the function the
// macro stands in (which returns a Result of its own). A statement
// expression, as GCC and Clang both take it.
#define TRY(expression)                                                                                      \
    ({                                                                                                       \
        auto tryResult_ = (expression);                                                                      \
        if (!tryResult_)                                                                                     \
            return tryResult_.Error();                                                                       \
        tryResult_.Release();                                                                                \
    })
