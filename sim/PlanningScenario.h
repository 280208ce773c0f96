// Planning data of the simulator: the planning register with general-plan acts, a municipal local-plan WMS
// and the national local-plan integration WMS, for three municipalities with their boundaries.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "FeatureStore.h"
#include "Scenario.h"
#include "geodesy/PlanarPoint.h"

namespace sim {

namespace planning {

// Municipality with its own local-plan WMS (listed in the municipal table) and two general-plan acts.
inline constexpr const char* kGminaWithPlanWms = "321602";
// Municipality without a local-plan WMS whose general plan lies away from its centre.
inline constexpr const char* kGminaWithoutPlanWms = "120106";
// Municipality without any act in the register.
inline constexpr const char* kGminaWithoutActs = "121302";

// Host and path of the municipal local-plan WMS of kGminaWithPlanWms.
inline constexpr const char* kPlanWmsHost = "mpzp.igeomap.pl";
inline constexpr const char* kPlanWmsPath = "/cgi-bin/321602";

// Acts of kGminaWithPlanWms: the one in force (published earlier), the draft (published later), a local plan.
inline constexpr const char* kActInForce = "1248";
inline constexpr const char* kActDraft = "1301";
inline constexpr const char* kActLocalPlan = "977";
// General plan of kGminaWithoutPlanWms; its zones lie 3 to 5 km north-east of the centre.
inline constexpr const char* kActAway = "2001";

// Centre of a municipality of the scenario (PL-1992); its boundary is a 12 km square around it.
geodesy::PlanarPoint municipalityCentre(const std::string& code6);
// Size of one general-plan zone of kActInForce (squares on a grid centred on the municipality centre).
inline constexpr double kZoneSize = 500.0;

}  // namespace planning

// Feature type of general-plan zones in an act's GML.
inline constexpr const char* kZoneType = "app:StrefaPlanistyczna";
// One act as the register's query answers it.
nlohmann::json planningAct(const char* id, const char* type, const char* description, const char* title,
                           const char* status, const char* published, const char* commune, const char* district,
                           const char* terc);
// The planning register's act query (the acts of each municipality code asked for) and act downloads (each act's
// zones as GML).
void addPlanningRegister(Scenario& scenario, std::function<nlohmann::json(const std::string&)> actsOf,
                         std::map<std::string, std::shared_ptr<FeatureStore>> actZones);
// Replaces the municipal local-plan WMS by one that lists a plan boundary and plan content but no drawing layer.
void addPlanWmsWithoutDrawingLayer(Scenario& scenario);

}  // namespace sim
