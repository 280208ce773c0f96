// Named scenarios of the simulator. A data set lives in its own file as a builder function and is listed once
// in the table in Scenarios.cpp, so later work adds data without touching the server.
#pragma once
#include <string>
#include <vector>

#include "Scenario.h"

namespace sim {

struct ScenarioEntry {
    std::string name;
    std::string description;
    void (*build)(Scenario&);
};

// Every named scenario, the default ("demo") first.
const std::vector<ScenarioEntry>& scenarioTable();
// Fills `scenario` with the named data sets; false for an unknown name.
bool buildScenario(const std::string& name, Scenario& scenario);

// The default data sets: the demo town (Town.h) on the national, county and municipal services, geocoders,
// planning register.
void buildDemoScenario(Scenario& scenario);
// The orthophoto WMS drawing every scenario's places (WorldPainter.h); part of the demo.
void addOrthophoto(Scenario& scenario);
// Planning: the planning register with general-plan acts, municipal and national local-plan WMS, three municipalities.
void buildPlanningScenario(Scenario& scenario);
// Geocoders: address search and suggestions over a small gazetteer of Polish places.
void buildGeocoderScenario(Scenario& scenario);
// Several places in different PL-2000 zones with county services of different behaviours (PolandScenario.h).
void buildPolandScenario(Scenario& scenario);
// Elevation: tile indexes of several years and generated sheets over a few sites (ElevationScenario.h).
void buildElevationScenario(Scenario& scenario);
// LiDAR: the elevation scenario plus sheets for the point-cloud palette and the terrain from LiDAR (CloudScenario.h).
void buildCloudScenario(Scenario& scenario);

}  // namespace sim
