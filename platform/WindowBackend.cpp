#include "platform/WindowBackend.h"

#include "platform/NullWindowBackend.h"

namespace platform {

namespace {

CNullWindowBackend s_nullBackend;
IWindowBackend* s_backend = &s_nullBackend;

} // namespace

IWindowBackend& GetWindowBackend()
{
    return *s_backend;
}

IWindowBackend* SetWindowBackend(IWindowBackend* backend)
{
    IWindowBackend* previous = s_backend;
    s_backend = backend ? backend : &s_nullBackend;
    return previous;
}

} // namespace platform
