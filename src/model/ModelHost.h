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

namespace model {

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
    int sequence = 0;                                // 1 for the first call of this group, 2 for the next, ...
    std::int32_t code = 0;                           // element type or attribute kind, when there is one
    std::string name;                                // attribute name, command name or ID text, when there is one
    const host::GeoLocation* geoLocation = nullptr;  // the record being written
};

// Answers kHostOk to let the call through, or the code it fails with.
using FaultRule = std::function<host::HostError(const HostCall&)>;

class ModelHost final : public host::Host {
public:
    ModelHost();

    // ---- Host ----
    host::HostError attributeCount(std::int32_t kind, std::int32_t& count) override;
    host::HostError getAttribute(std::int32_t kind, std::int32_t index, host::Attribute& out) override;
    host::HostError listAttributes(std::int32_t kind, std::vector<host::Attribute>& out) override;
    host::HostError findAttribute(std::int32_t kind, const std::string& name, host::Attribute& out) override;
    host::HostError createAttribute(host::Attribute& attr) override;

    host::HostError defaultPolyline(host::PolylineElement& out) override;
    host::HostError defaultText(host::TextElement& out) override;
    host::HostError defaultFill(host::FillElement& out) override;
    host::HostError defaultMesh(host::MeshElement& out) override;
    host::HostError defaultSlab(host::SlabElement& out) override;
    host::HostError defaultMorph(host::MorphElement& out) override;
    host::HostError defaultPicture(host::PictureElement& out) override;

    host::HostError createPolyline(const host::PolylineElement& e, host::ElementId& id) override;
    host::HostError createText(const host::TextElement& e, host::ElementId& id) override;
    host::HostError createFill(const host::FillElement& e, host::ElementId& id) override;
    host::HostError createMesh(const host::MeshElement& e, host::ElementId& id) override;
    host::HostError createSlab(const host::SlabElement& e, host::ElementId& id) override;
    host::HostError createMorph(const host::MorphElement& e, host::ElementId& id) override;
    host::HostError createPicture(const host::PictureElement& e, host::ElementId& id) override;

    host::HostError morphBodyNew(host::MorphBodyId& body) override;
    host::HostError morphBodyAddVertex(host::MorphBodyId body, const host::HostPoint3& p,
                                       std::int32_t& vertex) override;
    host::HostError morphBodyAddEdge(host::MorphBodyId body, std::int32_t from, std::int32_t to,
                                     std::int32_t& edge) override;
    host::HostError morphBodyAddPolygon(host::MorphBodyId body, const host::MorphPolygon& polygon,
                                        std::int32_t& number) override;
    host::HostError morphBodyFinish(host::MorphBodyId body, host::MorphElement& into) override;
    host::HostError morphBodyDispose(host::MorphBodyId body) override;

    host::HostError getElementHeader(const host::ElementId& id, host::ElementHeader& out) override;
    host::HostError getPolyline(const host::ElementId& id, host::PolylineElement& out) override;
    host::HostError getText(const host::ElementId& id, host::TextElement& out) override;
    host::HostError getFill(const host::ElementId& id, host::FillElement& out) override;
    host::HostError getMesh(const host::ElementId& id, host::MeshElement& out) override;
    host::HostError getSlab(const host::ElementId& id, host::SlabElement& out) override;
    host::HostError getMorph(const host::ElementId& id, host::MorphElement& out) override;
    host::HostError getPicture(const host::ElementId& id, host::PictureElement& out) override;

    host::HostError listElements(std::int32_t type, std::int32_t filter, std::vector<host::ElementId>& out) override;
    host::HostError deleteElements(const std::vector<host::ElementId>& ids) override;
    host::HostError setElementIdText(const host::ElementId& id, const std::string& text) override;
    host::HostError getElementIdText(const host::ElementId& id, std::string& text) override;

    host::HostError getSelection(host::Selection& out) override;
    host::HostError readGeoLocation(host::GeoLocation& out) override;
    host::HostError writeGeoLocation(const host::GeoLocation& in) override;
    host::HostError reportLine(const std::string& text, std::int32_t flag = 0) override;
    host::HostError alert(const host::AlertRequest& request, std::int32_t& button) override;
    host::HostError undoableCommand(const std::string& name, const host::UndoableBody& body) override;

    // ---- The model itself ----
    const ModelState& state() const { return state_; }
    // Selects the given elements (all must exist); an empty list clears the selection.
    host::HostError setSelection(const std::vector<host::ElementId>& ids);
    // Story on which new elements are made and which kFilterActiveStory lists.
    void setActiveStory(std::int32_t story);
    host::HostError setLayerLocked(std::int32_t layer, bool locked);
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
    void setAlertPolicy(std::function<std::int32_t(const host::AlertRequest&)> policy) {
        alertPolicy_ = std::move(policy);
    }
    const std::vector<host::AlertRequest>& alertsShown() const { return alertsShown_; }

    // ---- Fault injection ----
    void injectFault(HostOp op, FaultRule rule);
    void clearFaults() { faults_.clear(); }
    // A rule failing every call with code.
    static FaultRule failAlways(host::HostError code);
    // A rule failing only the n-th call (1-based) with code.
    static FaultRule failOnCall(int n, host::HostError code);

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
    host::HostError undoLastCommand();
    // The name of the command undoLastCommand would undo, empty when there is none.
    std::string undoableCommandName() const;
    // Grows with every change of the project (elements, attributes, georeference, selection, undo, loading), so
    // a caller can tell whether there is something to save or redraw.
    std::uint64_t revision() const { return revision_; }

private:
    bool onOwnerThread();
    host::HostError fault(HostOp op, std::int32_t code = 0, const std::string& name = {},
                          const host::GeoLocation* geo = nullptr);
    host::HostError createElement(ElementBody body, host::ElementId& id);
    template <class T>
    host::HostError readBody(const host::ElementId& id, T& out);
    const StoredElement* findElement(const host::ElementId& id) const;
    void rebuildIndex();
    host::ElementId newElementId();
    // What a command would go back to: everything but the elements, the number of elements, and the elements
    // themselves only once an existing one is about to change (commands mostly add, and a copy of a project's
    // terrain per command would cost more than the project).
    struct UndoPoint {
        ModelState rest;  // elements empty unless `elementsKept`
        std::size_t elementCount = 0;
        bool elementsKept = false;
        std::string name;  // the command's, once it completed
    };
    UndoPoint undoPoint() const;
    void restore(UndoPoint point);
    // Called before an existing element changes or goes: every undo point still relying on the elements being
    // only appended to takes its copy now.
    void keepElementsForUndo();
    // Counts a change; outside a command it also forgets the undo.
    void changed();

    ModelState state_;
    std::unordered_map<host::ElementId, std::size_t> index_;  // id -> position in state_.elements
    std::vector<UndoPoint> undoSnapshots_;                    // one per running (nested) command
    std::map<host::MorphBodyId, host::MorphElement> bodies_;
    host::MorphBodyId nextBody_ = 1;
    std::vector<std::string> reportLines_;
    std::function<void(const std::string&)> reportSink_;
    std::deque<std::int32_t> alertAnswers_;
    std::function<std::int32_t(const host::AlertRequest&)> alertPolicy_;
    std::vector<host::AlertRequest> alertsShown_;
    std::map<HostOp, std::vector<FaultRule>> faults_;
    std::map<HostOp, int> callCounts_;
    std::vector<std::string> committedCommands_;
    std::deque<UndoPoint> undoHistory_;  // state before each recent outermost command
    std::uint64_t idState_;
    std::uint64_t revision_ = 0;
    std::thread::id owner_;
    std::atomic<int> offThreadCalls_{0};
};

}  // namespace model
