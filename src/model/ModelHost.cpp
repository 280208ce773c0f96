#include "model/ModelHost.h"

#include <algorithm>
#include <random>
#include <set>

namespace {

std::uint64_t splitmix64(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

const std::vector<Attribute>* attributesOf(const ModelState& s, std::int32_t kind) {
    auto it = s.attributes.find(kind);
    return it == s.attributes.end() ? nullptr : &it->second;
}

bool knownAttributeKind(std::int32_t kind) {
    return kind == kAttrLayer || kind == kAttrFill || kind == kAttrMaterial || kind == kAttrBuildingMaterial;
}

bool knownElementType(std::int32_t type) {
    switch (type) {
        case kElemPolyline:
        case kElemText:
        case kElemFill:
        case kElemMesh:
        case kElemSlab:
        case kElemMorph:
        case kElemPicture: return true;
        default: return false;
    }
}

}  // namespace

ModelHost::ModelHost() : state_(newProjectState()), owner_(std::this_thread::get_id()) {
    std::random_device rd;
    idState_ = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
}

// ---- Faults ----------------------------------------------------------------------------------

bool ModelHost::onOwnerThread() {
    if (std::this_thread::get_id() == owner_) return true;
    ++offThreadCalls_;
    return false;
}

HostError ModelHost::fault(HostOp op, std::int32_t code, const std::string& name, const GeoLocation* geo) {
    // Checked before anything is touched: the model has no locks.
    if (!onOwnerThread()) return kHostGeneralError;
    HostCall call;
    call.op = op;
    call.sequence = ++callCounts_[op];
    call.code = code;
    call.name = name;
    call.geoLocation = geo;
    auto it = faults_.find(op);
    if (it == faults_.end()) return kHostOk;
    for (const auto& rule : it->second) {
        if (HostError e = rule(call); e != kHostOk) return e;
    }
    return kHostOk;
}

void ModelHost::injectFault(HostOp op, FaultRule rule) { faults_[op].push_back(std::move(rule)); }

FaultRule ModelHost::failAlways(HostError code) {
    return [code](const HostCall&) { return code; };
}

FaultRule ModelHost::failOnCall(int n, HostError code) {
    return [n, code](const HostCall& c) { return c.sequence == n ? code : kHostOk; };
}

// ---- Attributes ------------------------------------------------------------------------------

HostError ModelHost::attributeCount(std::int32_t kind, std::int32_t& count) {
    if (HostError e = fault(HostOp::AttributeCount, kind)) return e;
    if (!knownAttributeKind(kind)) return kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    count = list ? static_cast<std::int32_t>(list->size()) : 0;
    return kHostOk;
}

HostError ModelHost::getAttribute(std::int32_t kind, std::int32_t index, Attribute& out) {
    if (HostError e = fault(HostOp::GetAttribute, kind)) return e;
    if (!knownAttributeKind(kind)) return kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    if (!list || index < 1 || static_cast<std::size_t>(index) > list->size()) return kHostBadIndex;
    out = (*list)[static_cast<std::size_t>(index - 1)];
    return kHostOk;
}

HostError ModelHost::listAttributes(std::int32_t kind, std::vector<Attribute>& out) {
    if (HostError e = fault(HostOp::ListAttributes, kind)) return e;
    if (!knownAttributeKind(kind)) return kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    out = list ? *list : std::vector<Attribute>{};
    return kHostOk;
}

HostError ModelHost::findAttribute(std::int32_t kind, const std::string& name, Attribute& out) {
    if (HostError e = fault(HostOp::FindAttribute, kind, name)) return e;
    if (!knownAttributeKind(kind)) return kHostBadPars;
    if (const auto* list = attributesOf(state_, kind)) {
        for (const auto& a : *list) {
            if (a.name == name) {
                out = a;
                return kHostOk;
            }
        }
    }
    return kHostNameNotFound;
}

HostError ModelHost::createAttribute(Attribute& attr) {
    if (HostError e = fault(HostOp::CreateAttribute, attr.kind, attr.name)) return e;
    Attribute stored = attr;
    stored.name = validUtf8(attr.name);
    if (HostError e = checkNewAttribute(stored, state_)) return e;
    auto& list = state_.attributes[attr.kind];
    stored.index = static_cast<std::int32_t>(list.size() + 1);
    list.push_back(stored);
    attr.index = stored.index;
    return kHostOk;
}

HostError ModelHost::setLayerLocked(std::int32_t layer, bool locked) {
    auto& list = state_.attributes[kAttrLayer];
    if (layer < 1 || static_cast<std::size_t>(layer) > list.size()) return kHostBadIndex;
    list[static_cast<std::size_t>(layer - 1)].locked = locked;
    return kHostOk;
}

// ---- Defaults --------------------------------------------------------------------------------

HostError ModelHost::defaultPolyline(PolylineElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemPolyline)) return e;
    out = PolylineElement{};
    return kHostOk;
}

HostError ModelHost::defaultText(TextElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemText)) return e;
    out = TextElement{};
    return kHostOk;
}

HostError ModelHost::defaultFill(FillElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemFill)) return e;
    out = FillElement{};
    // The default fill is the first vectorial one the project has (0 when it has none).
    out.fillType = 0;
    if (const auto* fills = attributesOf(state_, kAttrFill)) {
        for (const auto& f : *fills) {
            if (f.fillKind == kFillVectorial) {
                out.fillType = f.index;
                break;
            }
        }
    }
    return kHostOk;
}

HostError ModelHost::defaultMesh(MeshElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemMesh)) return e;
    out = MeshElement{};
    return kHostOk;
}

HostError ModelHost::defaultSlab(SlabElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemSlab)) return e;
    out = SlabElement{};
    const auto* bm = attributesOf(state_, kAttrBuildingMaterial);
    out.buildingMaterial = bm && !bm->empty() ? 1 : 0;
    return kHostOk;
}

HostError ModelHost::defaultMorph(MorphElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemMorph)) return e;
    out = MorphElement{};
    return kHostOk;
}

HostError ModelHost::defaultPicture(PictureElement& out) {
    if (HostError e = fault(HostOp::ElementDefaults, kElemPicture)) return e;
    out = PictureElement{};
    return kHostOk;
}

// ---- Creation --------------------------------------------------------------------------------

ElementId ModelHost::newElementId() {
    static const char* kHex = "0123456789ABCDEF";
    for (;;) {
        std::uint64_t hi = splitmix64(idState_);
        std::uint64_t lo = splitmix64(idState_);
        hi = (hi & ~0xF000ull) | 0x4000ull;                         // version 4
        lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // variant 1
        std::string text;
        auto put = [&](std::uint64_t v, int nibbles) {
            for (int i = nibbles - 1; i >= 0; --i) text += kHex[(v >> (4 * i)) & 0xF];
        };
        put(hi >> 32, 8);
        text += '-';
        put(hi >> 16, 4);
        text += '-';
        put(hi, 4);
        text += '-';
        put(lo >> 48, 4);
        text += '-';
        put(lo, 12);
        if (!index_.count(text)) return text;
    }
}

HostError ModelHost::createElement(ElementBody body, ElementId& id) {
    const std::int32_t type = elementTypeOf(body);
    if (HostError e = fault(HostOp::CreateElement, type)) return e;
    if (HostError e = checkElement(body, state_)) return e;
    StoredElement stored;
    stored.header.id = newElementId();
    stored.header.type = type;
    stored.header.layer = elementLayerOf(body);
    stored.header.story = state_.activeStory;
    stored.body = std::move(body);
    index_[stored.header.id] = state_.elements.size();
    id = stored.header.id;
    state_.elements.push_back(std::move(stored));
    return kHostOk;
}

HostError ModelHost::createPolyline(const PolylineElement& e, ElementId& id) { return createElement(e, id); }
HostError ModelHost::createText(const TextElement& e, ElementId& id) {
    TextElement stored = e;
    stored.content = validUtf8(e.content);
    return createElement(std::move(stored), id);
}
HostError ModelHost::createFill(const FillElement& e, ElementId& id) { return createElement(e, id); }
HostError ModelHost::createMesh(const MeshElement& e, ElementId& id) { return createElement(e, id); }
HostError ModelHost::createSlab(const SlabElement& e, ElementId& id) { return createElement(e, id); }
HostError ModelHost::createMorph(const MorphElement& e, ElementId& id) { return createElement(e, id); }
HostError ModelHost::createPicture(const PictureElement& e, ElementId& id) {
    PictureElement stored = e;
    stored.mimeType = validUtf8(e.mimeType);
    return createElement(std::move(stored), id);
}

// ---- Morph bodies ----------------------------------------------------------------------------

HostError ModelHost::morphBodyNew(MorphBodyId& body) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    body = nextBody_++;
    bodies_[body] = MorphElement{};
    return kHostOk;
}

HostError ModelHost::morphBodyAddVertex(MorphBodyId body, const HostPoint3& p, std::int32_t& vertex) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return kHostBadId;
    it->second.vertices.push_back(p);
    vertex = static_cast<std::int32_t>(it->second.vertices.size());
    return kHostOk;
}

HostError ModelHost::morphBodyAddEdge(MorphBodyId body, std::int32_t from, std::int32_t to, std::int32_t& edge) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return kHostBadId;
    const auto nv = static_cast<std::int32_t>(it->second.vertices.size());
    if (from < 1 || from > nv || to < 1 || to > nv || from == to) return kHostBadPars;
    it->second.edges.push_back({from, to});
    edge = static_cast<std::int32_t>(it->second.edges.size());
    return kHostOk;
}

HostError ModelHost::morphBodyAddPolygon(MorphBodyId body, const MorphPolygon& polygon, std::int32_t& number) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return kHostBadId;
    const auto ne = static_cast<std::int32_t>(it->second.edges.size());
    if (polygon.edges.size() < 3) return kHostBadPars;
    for (std::int32_t ref : polygon.edges)
        if (ref == 0 || ref > ne || ref < -ne) return kHostBadPars;
    it->second.polygons.push_back(polygon);
    number = static_cast<std::int32_t>(it->second.polygons.size());
    return kHostOk;
}

HostError ModelHost::morphBodyFinish(MorphBodyId body, MorphElement& into) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return kHostBadId;
    into.vertices = it->second.vertices;
    into.edges = it->second.edges;
    into.polygons = it->second.polygons;
    return kHostOk;
}

HostError ModelHost::morphBodyDispose(MorphBodyId body) {
    if (HostError e = fault(HostOp::MorphBody)) return e;
    return bodies_.erase(body) ? kHostOk : kHostBadId;
}

// ---- Reading elements ------------------------------------------------------------------------

void ModelHost::rebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < state_.elements.size(); ++i) index_[state_.elements[i].header.id] = i;
}

const StoredElement* ModelHost::findElement(const ElementId& id) const {
    auto it = index_.find(id);
    return it == index_.end() ? nullptr : &state_.elements[it->second];
}

HostError ModelHost::getElementHeader(const ElementId& id, ElementHeader& out) {
    if (HostError e = fault(HostOp::ReadElement)) return e;
    const StoredElement* el = findElement(id);
    if (!el) return kHostBadId;
    out = el->header;
    return kHostOk;
}

template <class T>
HostError ModelHost::readBody(const ElementId& id, T& out) {
    if (!onOwnerThread()) return kHostGeneralError;
    const StoredElement* el = findElement(id);
    if (HostError e = fault(HostOp::ReadElement, el ? el->header.type : 0)) return e;
    if (!el) return kHostBadId;
    const T* body = std::get_if<T>(&el->body);
    if (!body) return kHostBadElementType;
    out = *body;
    return kHostOk;
}

HostError ModelHost::getPolyline(const ElementId& id, PolylineElement& out) { return readBody(id, out); }
HostError ModelHost::getText(const ElementId& id, TextElement& out) { return readBody(id, out); }
HostError ModelHost::getFill(const ElementId& id, FillElement& out) { return readBody(id, out); }
HostError ModelHost::getMesh(const ElementId& id, MeshElement& out) { return readBody(id, out); }
HostError ModelHost::getSlab(const ElementId& id, SlabElement& out) { return readBody(id, out); }
HostError ModelHost::getMorph(const ElementId& id, MorphElement& out) { return readBody(id, out); }
HostError ModelHost::getPicture(const ElementId& id, PictureElement& out) { return readBody(id, out); }

HostError ModelHost::listElements(std::int32_t type, std::int32_t filter, std::vector<ElementId>& out) {
    if (HostError e = fault(HostOp::ListElements, type)) return e;
    if (!knownElementType(type)) return kHostBadPars;
    const bool activeOnly = (filter & kFilterActiveStory) != 0;
    out.clear();
    for (const auto& el : state_.elements) {
        if (el.header.type != type) continue;
        if (activeOnly && el.header.story != state_.activeStory) continue;
        out.push_back(el.header.id);
    }
    return kHostOk;
}

HostError ModelHost::deleteElements(const std::vector<ElementId>& ids) {
    if (HostError e = fault(HostOp::DeleteElements)) return e;
    // Check every element first so that a refusal deletes nothing.
    std::set<ElementId> doomed;
    for (const auto& id : ids) {
        const StoredElement* el = findElement(id);
        if (!el) return kHostBadId;
        const auto& layers = state_.attributes[kAttrLayer];
        const auto layer = static_cast<std::size_t>(el->header.layer);
        if (layer >= 1 && layer <= layers.size() && layers[layer - 1].locked) return kHostLockedLayer;
        doomed.insert(id);
    }
    std::erase_if(state_.elements, [&](const StoredElement& el) { return doomed.count(el.header.id) > 0; });
    std::erase_if(state_.selection, [&](const ElementId& id) { return doomed.count(id) > 0; });
    rebuildIndex();
    return kHostOk;
}

HostError ModelHost::setElementIdText(const ElementId& id, const std::string& text) {
    if (HostError e = fault(HostOp::SetElementIdText, 0, text)) return e;
    auto it = index_.find(id);
    if (it == index_.end()) return kHostBadId;
    state_.elements[it->second].idText = validUtf8(text);
    return kHostOk;
}

HostError ModelHost::getElementIdText(const ElementId& id, std::string& text) {
    if (HostError e = fault(HostOp::ReadElement)) return e;
    const StoredElement* el = findElement(id);
    if (!el) return kHostBadId;
    text = el->idText;
    return kHostOk;
}

// ---- Selection, stories ----------------------------------------------------------------------

HostError ModelHost::getSelection(Selection& out) {
    if (HostError e = fault(HostOp::GetSelection)) return e;
    out.ids = state_.selection;
    out.kind = out.ids.empty() ? kSelectionNone : kSelectionElements;
    return kHostOk;
}

HostError ModelHost::setSelection(const std::vector<ElementId>& ids) {
    std::vector<ElementId> selection;
    for (const auto& id : ids) {
        if (!findElement(id)) return kHostBadId;
        if (std::find(selection.begin(), selection.end(), id) == selection.end()) selection.push_back(id);
    }
    state_.selection = std::move(selection);
    return kHostOk;
}

void ModelHost::setActiveStory(std::int32_t story) { state_.activeStory = story; }

// ---- Geolocation -----------------------------------------------------------------------------

HostError ModelHost::readGeoLocation(GeoLocation& out) {
    if (HostError e = fault(HostOp::ReadGeoLocation)) return e;
    out = state_.geoLocation;
    return kHostOk;
}

HostError ModelHost::writeGeoLocation(const GeoLocation& in) {
    if (HostError e = fault(HostOp::WriteGeoLocation, 0, {}, &in)) return e;
    if (HostError e = checkGeoLocation(in)) return e;
    state_.geoLocation = in;
    for (std::string* t :
         {&state_.geoLocation.crsName, &state_.geoLocation.crsText2, &state_.geoLocation.geodeticDatum,
          &state_.geoLocation.verticalDatum, &state_.geoLocation.mapProjection, &state_.geoLocation.mapZone})
        *t = validUtf8(*t);
    state_.geoLocationSet = true;
    return kHostOk;
}

// ---- Report window, alerts -------------------------------------------------------------------

HostError ModelHost::reportLine(const std::string& text, std::int32_t) {
    if (HostError e = fault(HostOp::ReportLine, 0, text)) return e;
    reportLines_.push_back(text);
    if (reportSink_) reportSink_(text);
    return kHostOk;
}

void ModelHost::queueAlertAnswers(const std::vector<std::int32_t>& buttons) {
    alertAnswers_.insert(alertAnswers_.end(), buttons.begin(), buttons.end());
}

HostError ModelHost::alert(const AlertRequest& request, std::int32_t& button) {
    if (HostError e = fault(HostOp::Alert, request.type, request.largeText)) return e;
    if (request.buttons.empty() || request.buttons.size() > 3) return kHostBadPars;
    alertsShown_.push_back(request);
    if (!alertAnswers_.empty()) {
        button = alertAnswers_.front();
        alertAnswers_.pop_front();
    } else if (alertPolicy_) {
        button = alertPolicy_(request);
    } else {
        button = 1;
    }
    return kHostOk;
}

// ---- Undoable commands -----------------------------------------------------------------------

HostError ModelHost::undoableCommand(const std::string& name, const UndoableBody& body) {
    if (HostError e = fault(HostOp::UndoableCommand, 0, name)) return e;
    if (!body) return kHostBadPars;
    undoSnapshots_.push_back(state_);
    auto rollBack = [this] {
        state_ = std::move(undoSnapshots_.back());
        undoSnapshots_.pop_back();
        rebuildIndex();
    };
    HostError result = kHostOk;
    try {
        result = body();
    } catch (...) {
        rollBack();
        throw;
    }
    if (result != kHostOk) {
        rollBack();
        return result;
    }
    if (undoSnapshots_.size() == 1) {
        // Only the last command: every remembered step is a whole copy of the model, and a
        // placement's terrain alone can be tens of megabytes.
        constexpr std::size_t kUndoDepth = 1;
        undoHistory_.push_back(std::move(undoSnapshots_.back()));
        if (undoHistory_.size() > kUndoDepth) undoHistory_.pop_front();
    }
    undoSnapshots_.pop_back();
    committedCommands_.push_back(name);
    return kHostOk;
}

HostError ModelHost::undoLastCommand() {
    if (!onOwnerThread() || inUndoableCommand() || undoHistory_.empty()) return kHostGeneralError;
    state_ = std::move(undoHistory_.back());
    undoHistory_.pop_back();
    rebuildIndex();
    return kHostOk;
}

// ---- Project file ----------------------------------------------------------------------------

std::string ModelHost::projectText() const { return projectToText(state_); }

ProjectFileStatus ModelHost::saveProject(const std::filesystem::path& path) const {
    return saveProjectFile(path, state_);
}

ProjectFileStatus ModelHost::loadProject(const std::filesystem::path& path) {
    if (inUndoableCommand()) return {false, "Nie mozna wczytac projektu w trakcie polecenia cofalnego"};
    ModelState loaded;
    ProjectFileStatus status = loadProjectFile(path, loaded);
    if (!status.ok) return status;
    state_ = std::move(loaded);
    bodies_.clear();
    undoHistory_.clear();
    rebuildIndex();
    return status;
}
