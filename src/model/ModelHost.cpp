#include "model/ModelHost.h"

#include <algorithm>
#include <random>
#include <set>

namespace model {

namespace {

std::uint64_t splitmix64(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

const std::vector<host::Attribute>* attributesOf(const ModelState& s, std::int32_t kind) {
    auto it = s.attributes.find(kind);
    return it == s.attributes.end() ? nullptr : &it->second;
}

bool knownAttributeKind(std::int32_t kind) {
    return kind == host::kAttrLayer || kind == host::kAttrFill || kind == host::kAttrMaterial ||
           kind == host::kAttrBuildingMaterial;
}

bool knownElementType(std::int32_t type) {
    switch (type) {
        case host::kElemPolyline:
        case host::kElemText:
        case host::kElemFill:
        case host::kElemMesh:
        case host::kElemSlab:
        case host::kElemMorph:
        case host::kElemPicture: return true;
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

host::HostError ModelHost::fault(HostOp op, std::int32_t code, const std::string& name, const host::GeoLocation* geo) {
    // Checked before anything is touched: the model has no locks.
    if (!onOwnerThread()) return host::kHostGeneralError;
    HostCall call;
    call.op = op;
    call.sequence = ++callCounts_[op];
    call.code = code;
    call.name = name;
    call.geoLocation = geo;
    auto it = faults_.find(op);
    if (it == faults_.end()) return host::kHostOk;
    for (const auto& rule : it->second) {
        if (host::HostError e = rule(call); e != host::kHostOk) return e;
    }
    return host::kHostOk;
}

void ModelHost::injectFault(HostOp op, FaultRule rule) { faults_[op].push_back(std::move(rule)); }

FaultRule ModelHost::failAlways(host::HostError code) {
    return [code](const HostCall&) { return code; };
}

FaultRule ModelHost::failOnCall(int n, host::HostError code) {
    return [n, code](const HostCall& c) { return c.sequence == n ? code : host::kHostOk; };
}

// ---- Attributes ------------------------------------------------------------------------------

host::HostError ModelHost::attributeCount(std::int32_t kind, std::int32_t& count) {
    if (host::HostError e = fault(HostOp::AttributeCount, kind)) return e;
    if (!knownAttributeKind(kind)) return host::kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    count = list ? static_cast<std::int32_t>(list->size()) : 0;
    return host::kHostOk;
}

host::HostError ModelHost::getAttribute(std::int32_t kind, std::int32_t index, host::Attribute& out) {
    if (host::HostError e = fault(HostOp::GetAttribute, kind)) return e;
    if (!knownAttributeKind(kind)) return host::kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    if (!list || index < 1 || static_cast<std::size_t>(index) > list->size()) return host::kHostBadIndex;
    out = (*list)[static_cast<std::size_t>(index - 1)];
    return host::kHostOk;
}

host::HostError ModelHost::listAttributes(std::int32_t kind, std::vector<host::Attribute>& out) {
    if (host::HostError e = fault(HostOp::ListAttributes, kind)) return e;
    if (!knownAttributeKind(kind)) return host::kHostBadPars;
    const auto* list = attributesOf(state_, kind);
    out = list ? *list : std::vector<host::Attribute>{};
    return host::kHostOk;
}

host::HostError ModelHost::findAttribute(std::int32_t kind, const std::string& name, host::Attribute& out) {
    if (host::HostError e = fault(HostOp::FindAttribute, kind, name)) return e;
    if (!knownAttributeKind(kind)) return host::kHostBadPars;
    if (const auto* list = attributesOf(state_, kind)) {
        for (const auto& a : *list) {
            if (a.name == name) {
                out = a;
                return host::kHostOk;
            }
        }
    }
    return host::kHostNameNotFound;
}

host::HostError ModelHost::createAttribute(host::Attribute& attr) {
    if (host::HostError e = fault(HostOp::CreateAttribute, attr.kind, attr.name)) return e;
    host::Attribute stored = attr;
    stored.name = validUtf8(attr.name);
    if (host::HostError e = checkNewAttribute(stored, state_)) return e;
    auto& list = state_.attributes[attr.kind];
    stored.index = static_cast<std::int32_t>(list.size() + 1);
    list.push_back(stored);
    attr.index = stored.index;
    changed();
    return host::kHostOk;
}

host::HostError ModelHost::setLayerLocked(std::int32_t layer, bool locked) {
    auto& list = state_.attributes[host::kAttrLayer];
    if (layer < 1 || static_cast<std::size_t>(layer) > list.size()) return host::kHostBadIndex;
    list[static_cast<std::size_t>(layer - 1)].locked = locked;
    changed();
    return host::kHostOk;
}

// ---- Defaults --------------------------------------------------------------------------------

host::HostError ModelHost::defaultPolyline(host::PolylineElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemPolyline)) return e;
    out = host::PolylineElement{};
    return host::kHostOk;
}

host::HostError ModelHost::defaultText(host::TextElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemText)) return e;
    out = host::TextElement{};
    return host::kHostOk;
}

host::HostError ModelHost::defaultFill(host::FillElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemFill)) return e;
    out = host::FillElement{};
    // The default fill is the first vectorial one the project has (0 when it has none).
    out.fillType = 0;
    if (const auto* fills = attributesOf(state_, host::kAttrFill)) {
        for (const auto& f : *fills) {
            if (f.fillKind == host::kFillVectorial) {
                out.fillType = f.index;
                break;
            }
        }
    }
    return host::kHostOk;
}

host::HostError ModelHost::defaultMesh(host::MeshElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemMesh)) return e;
    out = host::MeshElement{};
    return host::kHostOk;
}

host::HostError ModelHost::defaultSlab(host::SlabElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemSlab)) return e;
    out = host::SlabElement{};
    const auto* bm = attributesOf(state_, host::kAttrBuildingMaterial);
    out.buildingMaterial = bm && !bm->empty() ? 1 : 0;
    return host::kHostOk;
}

host::HostError ModelHost::defaultMorph(host::MorphElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemMorph)) return e;
    out = host::MorphElement{};
    return host::kHostOk;
}

host::HostError ModelHost::defaultPicture(host::PictureElement& out) {
    if (host::HostError e = fault(HostOp::ElementDefaults, host::kElemPicture)) return e;
    out = host::PictureElement{};
    return host::kHostOk;
}

// ---- Creation --------------------------------------------------------------------------------

host::ElementId ModelHost::newElementId() {
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

host::HostError ModelHost::createElement(ElementBody body, host::ElementId& id) {
    const std::int32_t type = elementTypeOf(body);
    if (host::HostError e = fault(HostOp::CreateElement, type)) return e;
    if (host::HostError e = checkElement(body, state_)) return e;
    StoredElement stored;
    stored.header.id = newElementId();
    stored.header.type = type;
    stored.header.layer = elementLayerOf(body);
    stored.header.story = state_.activeStory;
    stored.body = std::move(body);
    index_[stored.header.id] = state_.elements.size();
    id = stored.header.id;
    state_.elements.push_back(std::move(stored));
    changed();
    return host::kHostOk;
}

host::HostError ModelHost::createPolyline(const host::PolylineElement& e, host::ElementId& id) {
    return createElement(e, id);
}
host::HostError ModelHost::createText(const host::TextElement& e, host::ElementId& id) {
    host::TextElement stored = e;
    stored.content = validUtf8(e.content);
    return createElement(std::move(stored), id);
}
host::HostError ModelHost::createFill(const host::FillElement& e, host::ElementId& id) { return createElement(e, id); }
host::HostError ModelHost::createMesh(const host::MeshElement& e, host::ElementId& id) { return createElement(e, id); }
host::HostError ModelHost::createSlab(const host::SlabElement& e, host::ElementId& id) { return createElement(e, id); }
host::HostError ModelHost::createMorph(const host::MorphElement& e, host::ElementId& id) {
    return createElement(e, id);
}
host::HostError ModelHost::createPicture(const host::PictureElement& e, host::ElementId& id) {
    host::PictureElement stored = e;
    stored.mimeType = validUtf8(e.mimeType);
    return createElement(std::move(stored), id);
}

// ---- Morph bodies ----------------------------------------------------------------------------

host::HostError ModelHost::morphBodyNew(host::MorphBodyId& body) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    body = nextBody_++;
    bodies_[body] = host::MorphElement{};
    return host::kHostOk;
}

host::HostError ModelHost::morphBodyAddVertex(host::MorphBodyId body, const host::HostPoint3& p, std::int32_t& vertex) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return host::kHostBadId;
    it->second.vertices.push_back(p);
    vertex = static_cast<std::int32_t>(it->second.vertices.size());
    return host::kHostOk;
}

host::HostError ModelHost::morphBodyAddEdge(host::MorphBodyId body, std::int32_t from, std::int32_t to,
                                            std::int32_t& edge) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return host::kHostBadId;
    const auto nv = static_cast<std::int32_t>(it->second.vertices.size());
    if (from < 1 || from > nv || to < 1 || to > nv || from == to) return host::kHostBadPars;
    it->second.edges.push_back({from, to});
    edge = static_cast<std::int32_t>(it->second.edges.size());
    return host::kHostOk;
}

host::HostError ModelHost::morphBodyAddPolygon(host::MorphBodyId body, const host::MorphPolygon& polygon,
                                               std::int32_t& number) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return host::kHostBadId;
    const auto ne = static_cast<std::int32_t>(it->second.edges.size());
    if (polygon.edges.size() < 3) return host::kHostBadPars;
    for (std::int32_t ref : polygon.edges)
        if (ref == 0 || ref > ne || ref < -ne) return host::kHostBadPars;
    it->second.polygons.push_back(polygon);
    number = static_cast<std::int32_t>(it->second.polygons.size());
    return host::kHostOk;
}

host::HostError ModelHost::morphBodyFinish(host::MorphBodyId body, host::MorphElement& into) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    auto it = bodies_.find(body);
    if (it == bodies_.end()) return host::kHostBadId;
    into.vertices = it->second.vertices;
    into.edges = it->second.edges;
    into.polygons = it->second.polygons;
    return host::kHostOk;
}

host::HostError ModelHost::morphBodyDispose(host::MorphBodyId body) {
    if (host::HostError e = fault(HostOp::MorphBody)) return e;
    return bodies_.erase(body) ? host::kHostOk : host::kHostBadId;
}

// ---- Reading elements ------------------------------------------------------------------------

void ModelHost::rebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < state_.elements.size(); ++i) index_[state_.elements[i].header.id] = i;
}

const StoredElement* ModelHost::findElement(const host::ElementId& id) const {
    auto it = index_.find(id);
    return it == index_.end() ? nullptr : &state_.elements[it->second];
}

host::HostError ModelHost::getElementHeader(const host::ElementId& id, host::ElementHeader& out) {
    if (host::HostError e = fault(HostOp::ReadElement)) return e;
    const StoredElement* el = findElement(id);
    if (!el) return host::kHostBadId;
    out = el->header;
    return host::kHostOk;
}

template <class T>
host::HostError ModelHost::readBody(const host::ElementId& id, T& out) {
    if (!onOwnerThread()) return host::kHostGeneralError;
    const StoredElement* el = findElement(id);
    if (host::HostError e = fault(HostOp::ReadElement, el ? el->header.type : 0)) return e;
    if (!el) return host::kHostBadId;
    const T* body = std::get_if<T>(&el->body);
    if (!body) return host::kHostBadElementType;
    out = *body;
    return host::kHostOk;
}

host::HostError ModelHost::getPolyline(const host::ElementId& id, host::PolylineElement& out) {
    return readBody(id, out);
}
host::HostError ModelHost::getText(const host::ElementId& id, host::TextElement& out) { return readBody(id, out); }
host::HostError ModelHost::getFill(const host::ElementId& id, host::FillElement& out) { return readBody(id, out); }
host::HostError ModelHost::getMesh(const host::ElementId& id, host::MeshElement& out) { return readBody(id, out); }
host::HostError ModelHost::getSlab(const host::ElementId& id, host::SlabElement& out) { return readBody(id, out); }
host::HostError ModelHost::getMorph(const host::ElementId& id, host::MorphElement& out) { return readBody(id, out); }
host::HostError ModelHost::getPicture(const host::ElementId& id, host::PictureElement& out) {
    return readBody(id, out);
}

host::HostError ModelHost::listElements(std::int32_t type, std::int32_t filter, std::vector<host::ElementId>& out) {
    if (host::HostError e = fault(HostOp::ListElements, type)) return e;
    if (!knownElementType(type)) return host::kHostBadPars;
    const bool activeOnly = (filter & host::kFilterActiveStory) != 0;
    out.clear();
    for (const auto& el : state_.elements) {
        if (el.header.type != type) continue;
        if (activeOnly && el.header.story != state_.activeStory) continue;
        out.push_back(el.header.id);
    }
    return host::kHostOk;
}

host::HostError ModelHost::deleteElements(const std::vector<host::ElementId>& ids) {
    if (host::HostError e = fault(HostOp::DeleteElements)) return e;
    // Check every element first so that a refusal deletes nothing.
    std::set<host::ElementId> doomed;
    for (const auto& id : ids) {
        const StoredElement* el = findElement(id);
        if (!el) return host::kHostBadId;
        const auto& layers = state_.attributes[host::kAttrLayer];
        const auto layer = static_cast<std::size_t>(el->header.layer);
        if (layer >= 1 && layer <= layers.size() && layers[layer - 1].locked) return host::kHostLockedLayer;
        doomed.insert(id);
    }
    keepElementsForUndo();
    std::erase_if(state_.elements, [&](const StoredElement& el) { return doomed.count(el.header.id) > 0; });
    std::erase_if(state_.selection, [&](const host::ElementId& id) { return doomed.count(id) > 0; });
    rebuildIndex();
    changed();
    return host::kHostOk;
}

host::HostError ModelHost::setElementIdText(const host::ElementId& id, const std::string& text) {
    if (host::HostError e = fault(HostOp::SetElementIdText, 0, text)) return e;
    auto it = index_.find(id);
    if (it == index_.end()) return host::kHostBadId;
    keepElementsForUndo();
    state_.elements[it->second].idText = validUtf8(text);
    changed();
    return host::kHostOk;
}

host::HostError ModelHost::getElementIdText(const host::ElementId& id, std::string& text) {
    if (host::HostError e = fault(HostOp::ReadElement)) return e;
    const StoredElement* el = findElement(id);
    if (!el) return host::kHostBadId;
    text = el->idText;
    return host::kHostOk;
}

// ---- Selection, stories ----------------------------------------------------------------------

host::HostError ModelHost::getSelection(host::Selection& out) {
    if (host::HostError e = fault(HostOp::GetSelection)) return e;
    out.ids = state_.selection;
    out.kind = out.ids.empty() ? host::kSelectionNone : host::kSelectionElements;
    return host::kHostOk;
}

host::HostError ModelHost::setSelection(const std::vector<host::ElementId>& ids) {
    std::vector<host::ElementId> selection;
    for (const auto& id : ids) {
        if (!findElement(id)) return host::kHostBadId;
        if (std::find(selection.begin(), selection.end(), id) == selection.end()) selection.push_back(id);
    }
    state_.selection = std::move(selection);
    ++revision_;  // saved with the project, but no reason to forget the undo
    return host::kHostOk;
}

void ModelHost::setActiveStory(std::int32_t story) {
    state_.activeStory = story;
    changed();
}

// ---- Geolocation -----------------------------------------------------------------------------

host::HostError ModelHost::readGeoLocation(host::GeoLocation& out) {
    if (host::HostError e = fault(HostOp::ReadGeoLocation)) return e;
    out = state_.geoLocation;
    return host::kHostOk;
}

host::HostError ModelHost::writeGeoLocation(const host::GeoLocation& in) {
    if (host::HostError e = fault(HostOp::WriteGeoLocation, 0, {}, &in)) return e;
    if (host::HostError e = checkGeoLocation(in)) return e;
    state_.geoLocation = in;
    for (std::string* t :
         {&state_.geoLocation.crsName, &state_.geoLocation.crsText2, &state_.geoLocation.geodeticDatum,
          &state_.geoLocation.verticalDatum, &state_.geoLocation.mapProjection, &state_.geoLocation.mapZone})
        *t = validUtf8(*t);
    state_.geoLocationSet = true;
    changed();
    return host::kHostOk;
}

// ---- Report window, alerts -------------------------------------------------------------------

host::HostError ModelHost::reportLine(const std::string& text, std::int32_t) {
    if (host::HostError e = fault(HostOp::ReportLine, 0, text)) return e;
    reportLines_.push_back(text);
    if (reportSink_) reportSink_(text);
    return host::kHostOk;
}

void ModelHost::queueAlertAnswers(const std::vector<std::int32_t>& buttons) {
    alertAnswers_.insert(alertAnswers_.end(), buttons.begin(), buttons.end());
}

host::HostError ModelHost::alert(const host::AlertRequest& request, std::int32_t& button) {
    if (host::HostError e = fault(HostOp::Alert, request.type, request.largeText)) return e;
    if (request.buttons.empty() || request.buttons.size() > 3) return host::kHostBadPars;
    alertsShown_.push_back(request);
    if (!alertAnswers_.empty()) {
        button = alertAnswers_.front();
        alertAnswers_.pop_front();
    } else if (alertPolicy_) {
        button = alertPolicy_(request);
    } else {
        button = 1;
    }
    return host::kHostOk;
}

// ---- Undoable commands -----------------------------------------------------------------------

ModelHost::UndoPoint ModelHost::undoPoint() const {
    UndoPoint p;
    p.rest.attributes = state_.attributes;
    p.rest.geoLocationSet = state_.geoLocationSet;
    p.rest.geoLocation = state_.geoLocation;
    p.rest.activeStory = state_.activeStory;
    p.rest.selection = state_.selection;
    p.elementCount = state_.elements.size();
    return p;
}

void ModelHost::restore(UndoPoint point) {
    if (point.elementsKept) {
        state_.elements = std::move(point.rest.elements);
    } else {
        state_.elements.resize(std::min(point.elementCount, state_.elements.size()));
    }
    state_.attributes = std::move(point.rest.attributes);
    state_.geoLocationSet = point.rest.geoLocationSet;
    state_.geoLocation = point.rest.geoLocation;
    state_.activeStory = point.rest.activeStory;
    state_.selection = std::move(point.rest.selection);
    rebuildIndex();
    ++revision_;
}

void ModelHost::changed() {
    ++revision_;
    // The remembered state is from before the last command; undoing it now would also take back this change.
    if (!inUndoableCommand()) undoHistory_.clear();
}

void ModelHost::keepElementsForUndo() {
    auto keep = [this](UndoPoint& p) {
        if (p.elementsKept) return;
        p.rest.elements.assign(state_.elements.begin(),
                               state_.elements.begin() + static_cast<std::ptrdiff_t>(p.elementCount));
        p.elementsKept = true;
    };
    for (UndoPoint& p : undoSnapshots_) keep(p);
    for (UndoPoint& p : undoHistory_) keep(p);
}

host::HostError ModelHost::undoableCommand(const std::string& name, const host::UndoableBody& body) {
    if (host::HostError e = fault(HostOp::UndoableCommand, 0, name)) return e;
    if (!body) return host::kHostBadPars;
    undoSnapshots_.push_back(undoPoint());
    auto rollBack = [this] {
        UndoPoint point = std::move(undoSnapshots_.back());
        undoSnapshots_.pop_back();
        restore(std::move(point));
    };
    host::HostError result = host::kHostOk;
    try {
        result = body();
    } catch (...) {
        rollBack();
        throw;
    }
    if (result != host::kHostOk) {
        rollBack();
        return result;
    }
    if (undoSnapshots_.size() == 1) {
        // Only the last command is remembered, as the user's Undo of the host offers it here.
        constexpr std::size_t kUndoDepth = 1;
        undoHistory_.push_back(std::move(undoSnapshots_.back()));
        undoHistory_.back().name = name;
        if (undoHistory_.size() > kUndoDepth) undoHistory_.pop_front();
    }
    undoSnapshots_.pop_back();
    committedCommands_.push_back(name);
    return host::kHostOk;
}

host::HostError ModelHost::undoLastCommand() {
    if (!onOwnerThread() || inUndoableCommand() || undoHistory_.empty()) return host::kHostGeneralError;
    UndoPoint point = std::move(undoHistory_.back());
    undoHistory_.pop_back();
    restore(std::move(point));
    return host::kHostOk;
}

std::string ModelHost::undoableCommandName() const {
    return undoHistory_.empty() ? std::string() : undoHistory_.back().name;
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
    ++revision_;
    return status;
}

}  // namespace model
