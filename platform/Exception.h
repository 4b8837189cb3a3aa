#pragma once

#include "platform/Types.h"

#include <exception>

// The root of the program's exceptions. Thrown by value, caught by reference.
class CException : public std::exception {
public:
    ~CException() override = default;

    // Copies at most maxChars - 1 characters of the description and a NUL.
    virtual BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const;

    const char* what() const noexcept override;

private:
    mutable std::string m_what {};
};
