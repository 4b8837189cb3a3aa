#pragma once

// The password every package's entries are encrypted with.
inline constexpr const char* PackagePassword = "Pvx#d&JRTe";
