#include "Scenarios.h"

#include "StructuresScenario.h"

namespace sim {

const std::vector<ScenarioEntry>& scenarioTable() {
    static const std::vector<ScenarioEntry> table = {
        {"demo",
         "Naleczow (miasteczko): granice, EGiB, GESUT, BDOT500, plany, ortofotomapa, NMT, NMPT, LiDAR, modele 3D, "
         "geokodery",
         buildDemoScenario},
        {"planowanie", "Rejestr Urbanistyczny (POG), WMS gminny i krajowy MPZP, trzy gminy", buildPlanningScenario},
        {"geokodery", "wyszukiwarka adresow i podpowiedzi", buildGeocoderScenario},
        {"polska",
         "Warszawa, Zamosc, Zary, Zabrze, Wroclaw: EGiB powiatow, BDOT10k, GESUT, KIUT, BDOT500, ortofotomapa",
         buildPolandScenario},
        {"wysokosci", "miasteczko (demo) oraz NMT, NMPT i LiDAR: wzgorza, dolina, plasko, NODATA, uszkodzone arkusze",
         buildElevationScenario},
        {"chmura", "wysokosci oraz LiDAR: Radom (4 arkusze, jeden w PL-2000), Siedlce (5 arkuszy), Hel (wybrzeze)",
         buildCloudScenario},
        {"konstrukcje", "wysokosci oraz budynki o znanych dachach (NMT, NMPT, LiDAR), most i drogi (Overpass)",
         buildStructuresScenario},
        {"empty", "bez danych (tylko odpowiedzi z testow)", [](Scenario&) {}},
    };
    return table;
}

bool buildScenario(const std::string& name, Scenario& scenario) {
    for (const auto& entry : scenarioTable()) {
        if (entry.name == name) {
            entry.build(scenario);
            return true;
        }
    }
    return false;
}

}  // namespace sim
