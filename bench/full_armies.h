// The battle the frame benchmarks draw: both armies with five machines in
// each of their three squads, so the battle screen shows its 30 boxes.
#pragma once

#include "app/battle_data.h"

inline void FillFullArmies()
{
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
    for (int a = 0; a < 2; ++a) {
        for (int s = 0; s < 3; ++s) {
            Squad squad = squadCatalog[(a + s) % 2];
            for (int k = 3; k < MachinesPerSquad; ++k)
                squad.machines[k] = squad.machines[0];
            battleArmies[a].squads[s] = squad;
        }
    }
}
