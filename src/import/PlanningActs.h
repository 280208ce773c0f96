// Land-use plans of a frame's municipality: general-plan zones from the national planning register
// and local-plan drawings from the municipal (or national) WMS.
#pragma once
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/gml/GisFeature.h"
#include "geodesy/Bbox.h"
#include "net/WfsClient.h"

namespace importer {

struct FetchContext;

// One published act of the planning register (every field as the register's text).
struct PlanningAct {
    std::string publishedActId;  // a JSON number is written as a decimal integer
    std::string title;
    std::string planType;  // "MUNICIPAL_GENERAL_PLAN", "LOCAL_SPATIAL_DEVELOPMENT_PLAN", ...
    std::string spatialPlanningActStatus;
    std::string publishDate;  // ISO date, compared as text
    std::string tercCode;
};

// Pauses between attempts at the register: 350 ms after the first, 900 ms after the second.
// Process-wide so that tests can shorten them; production never changes them.
struct PlanningRetryWaits {
    std::atomic<int> afterFirstMs{350};
    std::atomic<int> afterSecondMs{900};
};
PlanningRetryWaits& planningRetryWaits();

// Plan types the register knows.
inline constexpr const char* kGeneralPlanType = "MUNICIPAL_GENERAL_PLAN";
inline constexpr const char* kLocalPlanType = "LOCAL_SPATIAL_DEVELOPMENT_PLAN";
// Layer of the national local-plan integration WMS that holds the plan drawings.
inline constexpr const char* kNationalPlanDrawingLayer = "raster";

// Compact JSON body of the register's act query for a parcel identifier ("" = none) and municipality code.
std::string buildActQuery(const std::string& parcelIdentifier, const std::string& municipalityCode);
// The acts of a register answer ("publishedActs"); empty when the text is not such an answer.
std::vector<PlanningAct> parsePublishedActs(std::string_view body);
// The municipality's acts from the register, up to three attempts; empty on failure.
std::vector<PlanningAct> queryActs(net::WfsClient& client, const std::string& municipalityCode);
// The same; `answered` tells whether the register gave a readable answer at all (an empty list from a
// register that never answered says nothing about the municipality's plans).
std::vector<PlanningAct> queryActs(net::WfsClient& client, const std::string& municipalityCode, bool& answered);
// The act of the type to import (all types when planType is empty): in force before being adopted
// before being drafted before any other, the latest publishDate within a group; none when no act fits.
std::optional<PlanningAct> selectAct(const std::vector<PlanningAct>& acts, const std::string& planType);
// Features of an act's GML from the register, up to three attempts; empty on failure.
std::vector<gml::GisFeature> downloadActFeatures(net::WfsClient& client, const std::string& actId,
                                                 formats::DataType type);
// True when the feature's anchor or an outer-ring vertex lies in the frame, or else part of a polygon's area
// does (a zone covering or crossing the frame); edges included, lines not tested.
bool planZoneInFrame(const gml::GisFeature& feature, const geodesy::Bbox& frame);
// The WMS layers to draw for local plans, comma-joined: drawing layers, else content layers, else all.
std::string chooseLocalPlanLayers(std::string_view capabilities);

// General-plan zones of the municipality appended to the fetch result, or a warning.
void fetchGeneralPlan(FetchContext& ctx, const std::string& municipalityCode);
// Local-plan drawing of the municipality as a raster, or a warning.
void fetchLocalPlans(FetchContext& ctx, const std::string& municipalityCode);

}  // namespace importer
