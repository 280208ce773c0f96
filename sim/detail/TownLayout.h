// Steps of the town generator, shared by its files.
#pragma once
#include <vector>

#include "Town.h"
#include "detail/PlaneGeometry.h"
#include "detail/TownRandom.h"

namespace sim::detail {

// A parcel while the town is laid out: its front along a street and the frame buildings are placed in.
struct ParcelDraft {
    town::Parcel parcel;
    Point frontStart, frontEnd;  // the front's ends
    Point inward;                // unit vector from the front into the parcel
    double depth = 0.0;          // the shorter side
    int street = -1;             // index into the town's streets, -1 for the market square
    int side = 1;                // +1 left of the street's direction, -1 right
    double along = 0.0;          // arc length of the front's start
};

// Local metres (from the market square) to PL-1992.
inline Point atTown(const town::Town& t, double x, double y) { return {t.centre.x + x, t.centre.y + y}; }

void layStreets(town::Town& town);
std::vector<ParcelDraft> layParcels(town::Town& town, TownRandom& random);
void numberParcels(town::Town& town, std::vector<ParcelDraft>& drafts, TownRandom& random);
void raiseBuildings(town::Town& town, const std::vector<ParcelDraft>& drafts, TownRandom& random);
void plantTrees(town::Town& town, TownRandom& random);
void layPipes(town::Town& town, TownRandom& random);
void drawPlans(town::Town& town);

}  // namespace sim::detail
