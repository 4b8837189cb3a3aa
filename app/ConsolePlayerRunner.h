#pragma once

#include "app/PlayerSeams.h"

// Stands in for the player window until there is one: tells on standard
// output what the window would play, then ends like a closed window.
class CConsolePlayerRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override;
};
