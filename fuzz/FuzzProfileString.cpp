// package.ini as any bytes: the three settings the player reads, through
// buffers of the player's size and of the smallest sizes.

#include "FuzzSupport.h"

#include "platform/ProfileString.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string path = fuzz::WriteInputFile(data, size);
    for (const char* key : { "fullscreen", "mainmovie", "type" }) {
        for (DWORD capacity : { 300u, 2u, 1u }) {
            char buffer[300];
            std::memset(buffer, 0x55, sizeof buffer);
            DWORD copied = platform::GetPrivateProfileString(
                "SETTINGS", key, "default", buffer, capacity, path.c_str());
            // The result fits the buffer with its terminator. (A value may
            // hold NUL bytes of its own, so its length is the count returned.)
            if (copied >= capacity || buffer[copied] != '\0')
                std::abort();
        }
    }
    return 0;
}
