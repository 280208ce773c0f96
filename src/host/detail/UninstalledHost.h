// The host before one is installed: every operation answers kHostNotSupplied.
#pragma once
#include "host/Host.h"

namespace host::detail {

class UninstalledHost final : public Host {
public:
    HostError attributeCount(std::int32_t, std::int32_t&) override { return kHostNotSupplied; }
    HostError getAttribute(std::int32_t, std::int32_t, Attribute&) override { return kHostNotSupplied; }
    HostError listAttributes(std::int32_t, std::vector<Attribute>&) override { return kHostNotSupplied; }
    HostError findAttribute(std::int32_t, const std::string&, Attribute&) override { return kHostNotSupplied; }
    HostError createAttribute(Attribute&) override { return kHostNotSupplied; }

    HostError defaultPolyline(PolylineElement&) override { return kHostNotSupplied; }
    HostError defaultText(TextElement&) override { return kHostNotSupplied; }
    HostError defaultFill(FillElement&) override { return kHostNotSupplied; }
    HostError defaultMesh(MeshElement&) override { return kHostNotSupplied; }
    HostError defaultSlab(SlabElement&) override { return kHostNotSupplied; }
    HostError defaultMorph(MorphElement&) override { return kHostNotSupplied; }
    HostError defaultPicture(PictureElement&) override { return kHostNotSupplied; }

    HostError createPolyline(const PolylineElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createText(const TextElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createFill(const FillElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createMesh(const MeshElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createSlab(const SlabElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createMorph(const MorphElement&, ElementId&) override { return kHostNotSupplied; }
    HostError createPicture(const PictureElement&, ElementId&) override { return kHostNotSupplied; }

    HostError morphBodyNew(MorphBodyId&) override { return kHostNotSupplied; }
    HostError morphBodyAddVertex(MorphBodyId, const HostPoint3&, std::int32_t&) override { return kHostNotSupplied; }
    HostError morphBodyAddEdge(MorphBodyId, std::int32_t, std::int32_t, std::int32_t&) override {
        return kHostNotSupplied;
    }
    HostError morphBodyAddPolygon(MorphBodyId, const MorphPolygon&, std::int32_t&) override { return kHostNotSupplied; }
    HostError morphBodyFinish(MorphBodyId, MorphElement&) override { return kHostNotSupplied; }
    HostError morphBodyDispose(MorphBodyId) override { return kHostNotSupplied; }

    HostError getElementHeader(const ElementId&, ElementHeader&) override { return kHostNotSupplied; }
    HostError getPolyline(const ElementId&, PolylineElement&) override { return kHostNotSupplied; }
    HostError getText(const ElementId&, TextElement&) override { return kHostNotSupplied; }
    HostError getFill(const ElementId&, FillElement&) override { return kHostNotSupplied; }
    HostError getMesh(const ElementId&, MeshElement&) override { return kHostNotSupplied; }
    HostError getSlab(const ElementId&, SlabElement&) override { return kHostNotSupplied; }
    HostError getMorph(const ElementId&, MorphElement&) override { return kHostNotSupplied; }
    HostError getPicture(const ElementId&, PictureElement&) override { return kHostNotSupplied; }

    HostError listElements(std::int32_t, std::int32_t, std::vector<ElementId>&) override { return kHostNotSupplied; }
    HostError deleteElements(const std::vector<ElementId>&) override { return kHostNotSupplied; }
    HostError setElementIdText(const ElementId&, const std::string&) override { return kHostNotSupplied; }
    HostError getElementIdText(const ElementId&, std::string&) override { return kHostNotSupplied; }

    HostError getSelection(Selection&) override { return kHostNotSupplied; }
    HostError readGeoLocation(GeoLocation&) override { return kHostNotSupplied; }
    HostError writeGeoLocation(const GeoLocation&) override { return kHostNotSupplied; }
    HostError reportLine(const std::string&, std::int32_t) override { return kHostNotSupplied; }
    HostError alert(const AlertRequest&, std::int32_t&) override { return kHostNotSupplied; }
    // The body does not run: without a host there is nothing to undo it against.
    HostError undoableCommand(const std::string&, const UndoableBody&) override { return kHostNotSupplied; }
};

}  // namespace host::detail
