#include "buildings/lod2fit/PrimitiveRegistry.h"

#include "buildings/lod2fit/AsymGabled.h"
#include "buildings/lod2fit/Barrel.h"
#include "buildings/lod2fit/BerlinRoof.h"
#include "buildings/lod2fit/BerlinShedCorner.h"
#include "buildings/lod2fit/Cone.h"
#include "buildings/lod2fit/Dome.h"
#include "buildings/lod2fit/FiveSidedGabled.h"
#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/Gabled.h"
#include "buildings/lod2fit/GabledCorner.h"
#include "buildings/lod2fit/GabledCross.h"
#include "buildings/lod2fit/GabledDormer.h"
#include "buildings/lod2fit/GabledTElement.h"
#include "buildings/lod2fit/HalfHipped.h"
#include "buildings/lod2fit/Hipped.h"
#include "buildings/lod2fit/HippedOneSided.h"
#include "buildings/lod2fit/Mansard.h"
#include "buildings/lod2fit/Nave.h"
#include "buildings/lod2fit/Shed.h"
#include "buildings/lod2fit/ShedBerlinCross.h"
#include "buildings/lod2fit/ShedCornerInvers.h"
#include "buildings/lod2fit/ShedDormer.h"
#include "buildings/lod2fit/ShedGabledCorner.h"
#include "buildings/lod2fit/ShedGabledCross.h"
#include "buildings/lod2fit/Tent.h"

namespace lod2fit {

const std::vector<const RoofPrimitive*>& primitiveRegistry() {
    static const std::vector<const RoofPrimitive*> list = [] {
        static const Flat flat;
        static const Shed shed;
        static const Gabled gabled;
        static const Hipped hipped;
        static const Tent tent;
        static const HalfHipped halfHipped;
        static const HippedOneSided hippedOneSided;
        static const Mansard mansard;
        static const FiveSidedGabled fiveSidedGabled;
        static const AsymGabled asymGabled;
        static const BerlinRoof berlinRoof;
        static const Barrel barrel;
        static const Cone cone;
        static const Dome dome;
        static const Nave nave;
        static const GabledCross gabledCross;
        static const GabledCorner gabledCorner;
        static const GabledTElement gabledTElement;
        static const ShedGabledCross shedGabledCross;
        static const ShedBerlinCross shedBerlinCross;
        static const ShedCornerInvers shedCornerInvers;
        static const ShedGabledCorner shedGabledCorner;
        static const BerlinShedCorner berlinShedCorner;
        static const ShedDormer shedDormer;
        static const GabledDormer gabledDormer;
        return std::vector<const RoofPrimitive*>{&flat,
                                                 &shed,
                                                 &gabled,
                                                 &hipped,
                                                 &tent,
                                                 &halfHipped,
                                                 &hippedOneSided,
                                                 &mansard,
                                                 &fiveSidedGabled,
                                                 &asymGabled,
                                                 &berlinRoof,
                                                 &barrel,
                                                 &cone,
                                                 &dome,
                                                 &nave,
                                                 &gabledCross,
                                                 &gabledCorner,
                                                 &gabledTElement,
                                                 &shedGabledCross,
                                                 &shedBerlinCross,
                                                 &shedCornerInvers,
                                                 &shedGabledCorner,
                                                 &berlinShedCorner,
                                                 &shedDormer,
                                                 &gabledDormer};
    }();
    return list;
}

const RoofPrimitive& findPrimitive(std::string_view name) {
    static const Flat notFound;
    for (const RoofPrimitive* primitive : primitiveRegistry())
        if (name == primitive->name()) return *primitive;
    return notFound;
}

}  // namespace lod2fit
