/*
 * The binary interface between the player and a control module.
 *
 * A control module is a shared object that the player loads with dlopen
 * after finding it in the class registry. It exports
 *
 *     int32_t DllGetClassObject(const char* clsid, uint32_t abiVersion, QvControl** control);
 *
 * which makes a new control object of the class `clsid` (the braced,
 * upper-case text form, QV_FLASH_CLSID in platform/FlashControlAbi.h for the
 * one class the player uses) and returns 0 (S_OK), or a negative result:
 * QV_CLASS_E_CLASSNOTAVAILABLE for a class it does not make, QV_E_NOINTERFACE
 * for an ABI version it does not speak (or no place for the object).
 * Everything is plain C so that either side can be built by any compiler;
 * all calls happen on the GUI thread.
 *
 * What a particular class answers (its dispatch ids, events and values) is
 * that class's own contract: platform/FlashControlAbi.h.
 *
 * Version 1.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QV_CONTROL_ABI_VERSION 1u

/* Variant types (the automation numbers). */
enum {
    QV_VT_EMPTY = 0,
    QV_VT_I4 = 3,
    QV_VT_BSTR = 8,
};

/* Invoke kinds. */
enum {
    QV_DISPATCH_METHOD = 1,
    QV_DISPATCH_PROPERTYGET = 2,
    QV_DISPATCH_PROPERTYPUT = 4,
};

/* One argument or result. A string is UTF-8 and NUL-terminated. Strings
 * passed in belong to the caller and live for the call; a string result is
 * allocated by the module with malloc and freed by the player with free. */
typedef struct QvVariant {
    uint16_t vt;
    int32_t lVal;
    const char* strVal;
} QvVariant;

/* What a failed Invoke tells about itself: the failure code and a text. */
typedef struct QvExcepInfo {
    int32_t scode;
    char description[256];
} QvExcepInfo;

/* Results of DllGetClassObject and of the method table (the COM numbers). */
#define QV_E_NOINTERFACE ((int32_t)0x80004002)
#define QV_CLASS_E_CLASSNOTAVAILABLE ((int32_t)0x80040111)
#define QV_DISP_E_MEMBERNOTFOUND ((int32_t)0x80020003)
#define QV_DISP_E_TYPEMISMATCH ((int32_t)0x80020005)
#define QV_DISP_E_EXCEPTION ((int32_t)0x80020009)

typedef struct QvControl QvControl;

/* Receives the control's events: dispatch id and arguments (valid during
 * the call). */
typedef void (*QvEventSink)(void* context, int32_t dispid, const QvVariant* args, uint32_t argCount);

typedef struct QvControlVtbl {
    /* QV_CONTROL_ABI_VERSION of the module that made the object. */
    uint32_t abiVersion;

    /* Ends the object; its widget, if one was made, is destroyed with it
     * unless the player's window already destroyed it. */
    void (*Release)(QvControl* self);

    /* The control's version: major version in the upper 16 bits. Returns 0
     * or a negative failure code. */
    int32_t (*FlashVersion)(QvControl* self, int32_t* version);

    /* Calls member `dispid` with `kind` (QV_DISPATCH_*); `args` in the
     * member's order, `result` set for a property get. Returns 0, or a
     * negative failure code with `excep` filled when it is not null:
     * QV_DISP_E_MEMBERNOTFOUND for an unknown member, QV_DISP_E_TYPEMISMATCH
     * for wrong arguments, QV_DISP_E_EXCEPTION when the member itself
     * failed (`excep->scode` then says how). */
    int32_t (*Invoke)(QvControl* self, int32_t dispid, uint16_t kind, const QvVariant* args,
        uint32_t argCount, QvVariant* result, QvExcepInfo* excep);

    /* The control's window as a GtkWidget*, made on the first call (GTK
     * must be initialised). The player adds it to its own window and sizes
     * it; the module keeps a reference. Null when there is none. */
    void* (*GetWidget)(QvControl* self);

    /* Where events go from now on (null sink: nowhere). */
    void (*SetEventSink)(QvControl* self, QvEventSink sink, void* context);
} QvControlVtbl;

struct QvControl {
    const QvControlVtbl* vtbl;
};

typedef int32_t (*QvGetClassObjectFn)(const char* clsid, uint32_t abiVersion, QvControl** control);

#ifdef __cplusplus
}
#endif
