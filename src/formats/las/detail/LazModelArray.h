// Arithmetic models created on first use, one per value of a context; most contexts never occur.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "formats/las/detail/ArithmeticModel.h"

namespace las::detail {

// N lazily created models sharing one symbol count.
template <std::size_t N>
class LazyModelArray {
public:
    LazyModelArray(std::uint32_t symbols, bool forDecoding) : symbols_(symbols), forDecoding_(forDecoding) {}
    ArithmeticModel& operator[](std::size_t i) {
        if (!models_[i]) models_[i] = std::make_unique<ArithmeticModel>(symbols_, forDecoding_);
        return *models_[i];
    }

private:
    std::uint32_t symbols_;
    bool forDecoding_;
    std::unique_ptr<ArithmeticModel> models_[N];
};

}  // namespace las::detail
