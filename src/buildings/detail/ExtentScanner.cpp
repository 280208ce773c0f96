#include "buildings/detail/ExtentScanner.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace buildings::detail {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view localOf(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The srsDimension attribute of a start tag when it says 2 or 3, else 3.
int dimensionOf(std::string_view attrs) {
    const std::size_t at = attrs.find("srsDimension");
    if (at == std::string_view::npos) return 3;
    const std::size_t digit = attrs.find_first_of("23", at);
    const std::size_t quote = attrs.find_first_of("\"'", at);
    return digit != std::string_view::npos && quote != std::string_view::npos && digit == quote + 1 &&
                   attrs[digit] == '2'
               ? 2
               : 3;
}

void addBox(geodesy::Bbox& box, bool& any, double x, double y) {
    if (!any) box = {x, y, x, y};
    any = true;
    box.minE = std::min(box.minE, x);
    box.minN = std::min(box.minN, y);
    box.maxE = std::max(box.maxE, x);
    box.maxN = std::max(box.maxN, y);
}

}  // namespace

void ExtentScanner::feed(std::string_view piece) {
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p < end) {
        // Text outside the numbers looked for is skipped to the next tag; numbers are read without the switch.
        if (state_ == State::Text) {
            if (capture_ == Capture::None) {
                p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
                if (!p) return;
            } else {
                while (p < end && *p != '<' && capture_ != Capture::None) textChar(*p++);
                if (p == end) return;
                if (*p != '<') continue;
            }
        }
        const char c = *p++;
        switch (state_) {
            case State::Text:
                if (c == '<') {
                    if (capture_ != Capture::None) finishNumber();
                    state_ = State::TagStart;
                } else if (capture_ != Capture::None) {
                    textChar(c);
                }
                break;
            case State::TagStart:
                name_.clear();
                attrs_.clear();
                slash_ = false;
                if (c == '!') {
                    bang_.clear();
                    state_ = State::Bang;
                } else if (c == '?') {
                    last_[0] = last_[1] = 0;
                    state_ = State::Instruction;
                } else if (c == '/') {
                    state_ = State::EndName;
                } else {
                    name_.push(c);
                    state_ = State::StartName;
                }
                break;
            case State::Bang: {
                bang_.push(c);
                const std::string_view seen = bang_.view();
                const auto startsAs = [&](std::string_view whole) { return whole.substr(0, seen.size()) == seen; };
                last_[0] = last_[1] = 0;
                if (seen == "--") {
                    state_ = State::Comment;
                } else if (seen == "[CDATA[") {
                    state_ = State::CData;
                } else if (seen.size() > 7 || (!startsAs("--") && !startsAs("[CDATA["))) {
                    // A declaration (DOCTYPE and the like): its internal subset may hold '>' inside brackets.
                    declarationDepth_ = 0;
                    for (const char d : seen) declarationDepth_ += d == '[' ? 1 : d == ']' ? -1 : 0;
                    state_ = c == '>' && declarationDepth_ <= 0 ? State::Text : State::Declaration;
                }
                break;
            }
            case State::Comment:
            case State::CData:
                if (c == '>' && last_[1] == last_[0] && last_[1] == (state_ == State::Comment ? '-' : ']'))
                    state_ = State::Text;
                last_[0] = last_[1];
                last_[1] = c;
                break;
            case State::Instruction:
                if (c == '>' && last_[1] == '?') state_ = State::Text;
                last_[1] = c;
                break;
            case State::Declaration:
                if (c == '[') ++declarationDepth_;
                else if (c == ']') --declarationDepth_;
                else if (c == '>' && declarationDepth_ <= 0) state_ = State::Text;
                break;
            case State::StartName:
                if (isSpace(c) || c == '/' || c == '>') {
                    state_ = State::InTag;
                    [[fallthrough]];
                } else {
                    name_.push(c);
                    break;
                }
            case State::InTag:
                if (c == '>') {
                    startElement(slash_);
                    state_ = State::Text;
                    break;
                }
                slash_ = c == '/';
                if (c == '"' || c == '\'') {
                    quote_ = c;
                    state_ = State::Quoted;
                }
                attrs_.push(c);
                break;
            case State::Quoted:
                if (c == quote_) state_ = State::InTag;
                attrs_.push(c);
                break;
            case State::EndName:
                if (c == '>') {
                    endElement();
                    state_ = State::Text;
                }
                break;
        }
    }
}

void ExtentScanner::startElement(bool selfClosing) {
    ++depth_;
    const std::string_view local = localOf(name_.view());
    if (depth_ == 2 && local == "boundedBy") inTopBoundedBy_ = true;
    if (local == "Envelope" && envelopeDepth_ < 0) {
        envelopeDepth_ = depth_;
        topEnvelope_ = inTopBoundedBy_ && depth_ == 3 && !declaredDone_;
        positions_ = 0;
    } else if (capture_ == Capture::None) {
        Capture what = Capture::None;
        if (envelopeDepth_ < 0) {
            if (local == "posList" || local == "pos") what = Capture::Data;
        } else if (topEnvelope_ && depth_ == envelopeDepth_ + 1) {
            if (local == "lowerCorner") what = Capture::Lower;
            else if (local == "upperCorner") what = Capture::Upper;
            else if (local == "pos") what = positions_++ == 0 ? Capture::Lower : Capture::Upper;
        }
        if (what != Capture::None) {
            capture_ = what;
            captureDepth_ = depth_;
            dimension_ = dimensionOf(attrs_.view());
            index_ = 0;
            token_.clear();
        }
    }
    if (selfClosing) endElement();
}

void ExtentScanner::endElement() {
    if (capture_ != Capture::None && depth_ == captureDepth_) {
        // Corners count only when their element was closed: a sheet cut inside one gives no half-read corner.
        if ((capture_ == Capture::Lower || capture_ == Capture::Upper) && index_ >= 2) {
            double* corner = capture_ == Capture::Lower ? lower_ : upper_;
            corner[0] = corner_[0];
            corner[1] = corner_[1];
            (capture_ == Capture::Lower ? haveLower_ : haveUpper_) = true;
        }
        capture_ = Capture::None;
    }
    if (depth_ == envelopeDepth_) {
        if (topEnvelope_ && haveLower_ && haveUpper_) declaredDone_ = true;
        envelopeDepth_ = -1;
        topEnvelope_ = false;
    }
    if (depth_ == 2) inTopBoundedBy_ = false;
    if (depth_ > 0) --depth_;
}

void ExtentScanner::textChar(char c) {
    if (isSpace(c)) {
        finishNumber();
    } else if (!token_.push(c)) {
        capture_ = Capture::None;  // no number is that long
    }
}

void ExtentScanner::finishNumber() {
    if (token_.size == 0) return;
    const char* begin = token_.data + (token_.data[0] == '+' ? 1 : 0);
    const char* end = token_.data + token_.size;
    double value = 0.0;
    const auto [next, ec] = std::from_chars(begin, end, value);
    token_.clear();
    if (ec != std::errc() || next != end || !std::isfinite(value)) {
        capture_ = Capture::None;  // a list with a word in it says nothing past that word
        return;
    }
    const std::size_t k = index_++;
    if (capture_ == Capture::Data) {
        const std::size_t axis = k % static_cast<std::size_t>(dimension_);
        if (axis == 0) pendingX_ = value;
        else if (axis == 1) addBox(data_, haveData_, pendingX_, value);
    } else if (k < 2) {
        corner_[k] = value;
    }
}

bool ExtentScanner::extent(geodesy::Bbox& out) const {
    const bool declared = haveLower_ && haveUpper_ && declaredDone_;
    if (!declared && !haveData_) return false;
    geodesy::Bbox box = data_;
    bool any = haveData_;
    if (declared) {
        addBox(box, any, lower_[0], lower_[1]);
        addBox(box, any, upper_[0], upper_[1]);
    }
    out = box;
    return true;
}

}  // namespace buildings::detail
