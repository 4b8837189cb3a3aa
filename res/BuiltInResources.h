#pragma once

#include "platform/Resources.h"

#include <vector>

// The resources compiled into the player: the string table's title and,
// as they arrive, the dialog, menu and icon.
std::vector<platform::BuiltInResource> BuiltInResources();

// Registers them with the platform's resource lookups.
void RegisterBuiltInResources();
