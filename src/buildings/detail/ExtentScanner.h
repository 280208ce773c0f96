// The extent of a CityGML sheet read as a stream, in pieces of any size and in memory that does not grow with the
// sheet: the CityModel's own envelope, and the extent of every coordinate outside envelopes.
#pragma once
#include <cstddef>
#include <string_view>

#include "geodesy/Bbox.h"

namespace buildings::detail {

class ExtentScanner {
public:
    void feed(std::string_view piece);
    // The declared envelope grown to the data's extent, or the data's extent alone; false when there is neither.
    bool extent(geodesy::Bbox& out) const;

private:
    enum class State {
        Text,
        TagStart,
        Bang,
        Comment,
        CData,
        Instruction,
        Declaration,
        StartName,
        InTag,
        Quoted,
        EndName
    };
    enum class Capture { None, Data, Lower, Upper, Pos };

    // Text of bounded length: what is past the bound is dropped.
    template <std::size_t N>
    struct Bounded {
        char data[N];
        std::size_t size = 0;
        void clear() { size = 0; }
        bool push(char c) {
            if (size == N) return false;
            data[size++] = c;
            return true;
        }
        std::string_view view() const { return {data, size}; }
    };

    void startElement(bool selfClosing);
    void endElement();
    void textChar(char c);
    void finishNumber();

    State state_ = State::Text;
    // Longer names, attribute lists and numbers are not the ones looked for.
    Bounded<256> name_;    // element name being read
    Bounded<1024> attrs_;  // start tag's attributes
    Bounded<64> token_;    // number being read
    Bounded<8> bang_;      // what follows "<!" so far
    char quote_ = 0;
    char last_[2] = {0, 0};
    int declarationDepth_ = 0;
    bool slash_ = false;  // a '/' just before '>' in a start tag

    long depth_ = 0;               // element depth, the root is 1
    long envelopeDepth_ = -1;      // depth of the Envelope being read, -1 outside
    bool inTopBoundedBy_ = false;  // inside the root's own boundedBy
    bool topEnvelope_ = false;     // the Envelope being read is the root's own
    bool declaredDone_ = false;    // the root's envelope was read whole

    Capture capture_ = Capture::None;
    long captureDepth_ = 0;
    int dimension_ = 3;
    std::size_t index_ = 0;  // numbers read of the captured element
    double pendingX_ = 0.0;
    double corner_[2] = {0, 0};
    int positions_ = 0;  // pos elements of the root's envelope

    bool haveLower_ = false, haveUpper_ = false, haveData_ = false;
    double lower_[2] = {0, 0}, upper_[2] = {0, 0};
    geodesy::Bbox data_;
};

}  // namespace buildings::detail
