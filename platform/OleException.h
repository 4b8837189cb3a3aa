#pragma once

#include "platform/ControlAbi.h"
#include "platform/Exception.h"

using HRESULT = std::int32_t;
using SCODE = HRESULT;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = HRESULT(0x80004005);
constexpr HRESULT E_NOINTERFACE = QV_E_NOINTERFACE;
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);
constexpr HRESULT CO_E_DLLNOTFOUND = HRESULT(0x8004F003); // the module could not be loaded
// What a control's Invoke answers (platform/ControlAbi.h).
constexpr HRESULT DISP_E_MEMBERNOTFOUND = QV_DISP_E_MEMBERNOTFOUND;
constexpr HRESULT DISP_E_TYPEMISMATCH = QV_DISP_E_TYPEMISMATCH;
constexpr HRESULT DISP_E_EXCEPTION = QV_DISP_E_EXCEPTION;

constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}
constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}

// A failed COM call.
class COleException : public CException {
public:
    explicit COleException(SCODE sc)
        : m_sc(sc)
    {
    }
    BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    SCODE m_sc { S_OK };
};

// A failed automation call that the object described.
class COleDispatchException : public CException {
public:
    COleDispatchException(CString description, UINT helpId, WORD code)
        : m_strDescription(std::move(description))
        , m_dwHelpContext(helpId)
        , m_wCode(code)
    {
    }
    BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    CString m_strDescription {};
    DWORD m_dwHelpContext { 0 };
    WORD m_wCode { 0 };
    SCODE m_scError { S_OK };
};

// A failed HRESULT of the COM support library.
class _com_error : public CException {
public:
    explicit _com_error(HRESULT hr)
        : m_hr(hr)
    {
    }
    HRESULT Error() const { return m_hr; }
    BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

private:
    HRESULT m_hr { S_OK };
};
