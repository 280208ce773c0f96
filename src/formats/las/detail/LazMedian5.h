// The running "median of the last five" predictor of LASzip coordinate differences.
#pragma once
#include <cstdint>

namespace las::detail {

// Not a true median: an insertion scheme that alternates between dropping the highest and the
// lowest value. The coded stream depends on its exact output, so it is reproduced faithfully.
class LazMedian5 {
public:
    void add(std::int32_t v) {
        if (high_) {
            if (v < values_[2]) {
                values_[4] = values_[3];
                values_[3] = values_[2];
                if (v < values_[0]) {
                    values_[2] = values_[1];
                    values_[1] = values_[0];
                    values_[0] = v;
                } else if (v < values_[1]) {
                    values_[2] = values_[1];
                    values_[1] = v;
                } else {
                    values_[2] = v;
                }
            } else {
                if (v < values_[3]) {
                    values_[4] = values_[3];
                    values_[3] = v;
                } else {
                    values_[4] = v;
                }
                high_ = false;
            }
        } else {
            if (values_[2] < v) {
                values_[0] = values_[1];
                values_[1] = values_[2];
                if (values_[4] < v) {
                    values_[2] = values_[3];
                    values_[3] = values_[4];
                    values_[4] = v;
                } else if (values_[3] < v) {
                    values_[2] = values_[3];
                    values_[3] = v;
                } else {
                    values_[2] = v;
                }
            } else {
                if (values_[1] < v) {
                    values_[0] = values_[1];
                    values_[1] = v;
                } else {
                    values_[0] = v;
                }
                high_ = true;
            }
        }
    }
    std::int32_t get() const { return values_[2]; }

private:
    std::int32_t values_[5] = {0, 0, 0, 0, 0};
    bool high_ = true;
};

}  // namespace las::detail
