#pragma once

#include "platform/Types.h"

class CObject;

// What a class says about itself at run time: its name, size, schema and
// how to make one, and its base class.
struct CRuntimeClass {
    LPCSTR m_lpszClassName { nullptr };
    int m_nObjectSize { 0 };
    UINT m_wSchema { 0xFFFF };
    CObject* (*m_pfnCreateObject)() { nullptr };
    const CRuntimeClass* m_pBaseClass { nullptr };

    // A new object on the heap; null when the class cannot be made this way.
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* base) const
    {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
            if (c == base)
                return true;
        }
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* c) const { return GetRuntimeClass()->IsDerivedFrom(c); }

    static const CRuntimeClass classCObject;
};

inline const CRuntimeClass CObject::classCObject { "CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr };
