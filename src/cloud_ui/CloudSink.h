// Where an export's kept points go as they are kept, so no one has to hold the whole cloud.
#pragma once
#include <cstddef>

#include "formats/CloudPoint.h"

namespace cloudui {

class CloudSink {
public:
    virtual ~CloudSink() = default;
    // Takes the next block of kept points (local coordinates), in the order they were kept.
    virtual void take(const formats::CloudPoint* points, std::size_t count) = 0;
};

}  // namespace cloudui
