// An in-process host: a real model of attributes, elements, selection and geolocation, with
// undo, a project file, scripted alerts and fault injection for tests.
#pragma once
#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/Host.h"
#include "model/ModelState.h"
#include "model/ProjectFile.h"

// Groups of host operations a fault can be injected into.
enum class HostOp {
    AttributeCount,
    GetAttribute,
    ListAttributes,
    FindAttribute,
    CreateAttribute,
    ElementDefaults,
    CreateElement,
    MorphBody,
    ReadElement,  // header, record and ID-text reads
    ListElements,
    DeleteElements,
    SetElementIdText,
    GetSelection,
    ReadGeoLocation,
    WriteGeoLocation,
    ReportLine,
    Alert,
    UndoableCommand,
};

// What a fault rule sees of the call it may refuse.
struct HostCall {
    HostOp op = HostOp::AttributeCount;
    int sequence = 0;                          // 1 for the first call of this group, 2 for the next, ...
    std::int32_t code = 0;                     // element type or attribute kind, when there is one
    std::string name;                          // attribute name, command name or ID text, when there is one
    const GeoLocation* geoLocation = nullptr;  // the record being written
};

// Answers kHostOk to let the call through, or the code it fails with.
using FaultRule = std::function<HostError(const HostCall&)>;

class ModelHost final : public Host {
public:
    ModelHost();

    // ---- Host ----
    HostError attributeCount(std::int32_t kind, std::int32_t& count) override;
    HostError getAttribute(std::int32_t kind, std::int32_t index, Attribute& out) override;
    HostError listAttributes(std::int32_t kind, std::vector<Attribute>& out) override;
    HostError findAttribute(std::int32_t kind, const std::string& name, Attribute& out) override;
    HostError createAttribute(Attribute& attr) override;

    HostError defaultPolyline(PolylineElement& out) override;
    HostError defaultText(TextElement& out) override;
    HostError defaultFill(FillElement& out) override;
    HostError defaultMesh(MeshElement& out) override;
    HostError defaultSlab(SlabElement& out) override;
    HostError defaultMorph(MorphElement& out) override;
    HostError defaultPicture(PictureElement& out) override;

    HostError createPolyline(const PolylineElement& e, ElementId& id) override;
    HostError createText(const TextElement& e, ElementId& id) override;
    HostError createFill(const FillElement& e, ElementId& id) override;
    HostError createMesh(const MeshElement& e, ElementId& id) override;
    HostError createSlab(const SlabElement& e, ElementId& id) override;
    HostError createMorph(const MorphElement& e, ElementId& id) override;
    HostError createPicture(const PictureElement& e, ElementId& id) override;

    HostError morphBodyNew(MorphBodyId& body) override;
    HostError morphBodyAddVertex(MorphBodyId body, const HostPoint3& p, std::int32_t& vertex) override;
    HostError morphBodyAddEdge(MorphBodyId body, std::int32_t from, std::int32_t to, std::int32_t& edge) override;
    HostError morphBodyAddPolygon(MorphBodyId body, const MorphPolygon& polygon, std::int32_t& number) override;
    HostError morphBodyFinish(MorphBodyId body, MorphElement& into) override;
    HostError morphBodyDispose(MorphBodyId body) override;

    HostError getElementHeader(const ElementId& id, ElementHeader& out) override;
    HostError getPolyline(const ElementId& id, PolylineElement& out) override;
    HostError getText(const ElementId& id, TextElement& out) override;
    HostError getFill(const ElementId& id, FillElement& out) override;
    HostError getMesh(const ElementId& id, MeshElement& out) override;
    HostError getSlab(const ElementId& id, SlabElement& out) override;
    HostError getMorph(const ElementId& id, MorphElement& out) override;
    HostError getPicture(const ElementId& id, PictureElement& out) override;

    HostError listElements(std::int32_t type, std::int32_t filter, std::vector<ElementId>& out) override;
    HostError deleteElements(const std::vector<ElementId>& ids) override;
    HostError setElementIdText(const ElementId& id, const std::string& text) override;
    HostError getElementIdText(const ElementId& id, std::string& text) override;

    HostError getSelection(Selection& out) override;
    HostError readGeoLocation(GeoLocation& out) override;
    HostError writeGeoLocation(const GeoLocation& in) override;
    HostError reportLine(const std::string& text, std::int32_t flag = 0) override;
    HostError alert(const AlertRequest& request, std::int32_t& button) override;
    HostError undoableCommand(const std::string& name, const UndoableBody& body) override;

    // ---- The model itself ----
    const ModelState& state() const { return state_; }
    // Selects the given elements (all must exist); an empty list clears the selection.
    HostError setSelection(const std::vector<ElementId>& ids);
    // Story on which new elements are made and which kFilterActiveStory lists.
    void setActiveStory(std::int32_t story);
    HostError setLayerLocked(std::int32_t layer, bool locked);
    // Whether an undoable command is running now.
    bool inUndoableCommand() const { return !undoSnapshots_.empty(); }

    // ---- Project file ----
    // The project as the file holds it.
    std::string projectText() const;
    ProjectFileStatus saveProject(const std::filesystem::path& path) const;
    // Replaces the model with the file's; on failure the model stays as it was.
    ProjectFileStatus loadProject(const std::filesystem::path& path);

    // ---- Report window ----
    const std::vector<std::string>& reportLines() const { return reportLines_; }
    // Also hands every report line to sink (e.g. to print it).
    void setReportSink(std::function<void(const std::string&)> sink) { reportSink_ = std::move(sink); }

    // ---- Alerts ----
    // Answers given to the next alerts, in order; after them the policy (default: button 1).
    void queueAlertAnswers(const std::vector<std::int32_t>& buttons);
    void setAlertPolicy(std::function<std::int32_t(const AlertRequest&)> policy) { alertPolicy_ = std::move(policy); }
    const std::vector<AlertRequest>& alertsShown() const { return alertsShown_; }

    // ---- Fault injection ----
    void injectFault(HostOp op, FaultRule rule);
    void clearFaults() { faults_.clear(); }
    // A rule failing every call with code.
    static FaultRule failAlways(HostError code);
    // A rule failing only the n-th call (1-based) with code.
    static FaultRule failOnCall(int n, HostError code);

    // ---- Threads ----
    // Host operations belong to one thread (the one that made the host, or the last to adopt it);
    // a call from any other thread is refused with kHostGeneralError and counted here.
    void adoptCurrentThread() { owner_ = std::this_thread::get_id(); }
    int offThreadCalls() const { return offThreadCalls_.load(); }

    // ---- Undoable commands ----
    // Names of the commands that completed (kept for tests and the report).
    const std::vector<std::string>& committedCommands() const { return committedCommands_; }
    // Undoes the last completed outermost command, as the user's Undo does; kHostGeneralError when
    // there is nothing to undo (only the last command is remembered; loading a project forgets it).
    HostError undoLastCommand();

private:
    bool onOwnerThread();
    HostError fault(HostOp op, std::int32_t code = 0, const std::string& name = {}, const GeoLocation* geo = nullptr);
    HostError createElement(ElementBody body, ElementId& id);
    template <class T>
    HostError readBody(const ElementId& id, T& out);
    const StoredElement* findElement(const ElementId& id) const;
    void rebuildIndex();
    ElementId newElementId();

    ModelState state_;
    std::unordered_map<ElementId, std::size_t> index_;  // id -> position in state_.elements
    std::vector<ModelState> undoSnapshots_;             // one per running (nested) command
    std::map<MorphBodyId, MorphElement> bodies_;
    MorphBodyId nextBody_ = 1;
    std::vector<std::string> reportLines_;
    std::function<void(const std::string&)> reportSink_;
    std::deque<std::int32_t> alertAnswers_;
    std::function<std::int32_t(const AlertRequest&)> alertPolicy_;
    std::vector<AlertRequest> alertsShown_;
    std::map<HostOp, std::vector<FaultRule>> faults_;
    std::map<HostOp, int> callCounts_;
    std::vector<std::string> committedCommands_;
    std::deque<ModelState> undoHistory_;  // state before each recent outermost command
    std::uint64_t idState_;
    std::thread::id owner_;
    std::atomic<int> offThreadCalls_{0};
};
