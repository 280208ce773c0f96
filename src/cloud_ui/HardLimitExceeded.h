// Thrown when a cloud would hold more points than one export may keep.
#pragma once
#include <cstddef>
#include <stdexcept>

namespace cloudui {

// The most points one export may keep.
constexpr std::size_t kCloudPointLimit = 8000000;

class HardLimitExceeded : public std::runtime_error {
public:
    HardLimitExceeded() : std::runtime_error("Za duzo punktow - zmniejsz kadr lub obniz jakosc.") {}
};

}  // namespace cloudui
