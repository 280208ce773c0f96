// The empty simulator with production-like pacing shortened to keep the spacing of requests measurable.
#pragma once
#include <string>
#include <vector>

#include "geodesy/Crs.h"
#include "support/SimulatorFixture.h"

inline std::vector<geodesy::PlanarPoint> square(double e, double n, double size) {
    return {{e, n}, {e + size, n}, {e + size, n + size}, {e, n + size}, {e, n}};
}

inline int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class SimFixture : public SimulatorFixture {
protected:
    SimFixture() : SimulatorFixture({.hostIntervalMs = 150, .retryDelayMs = 100, .defaultReceiveTimeoutMs = 3000}) {}
};
