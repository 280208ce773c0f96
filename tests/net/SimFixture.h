// The empty simulator with production-like pacing shortened to keep the spacing of requests measurable.
#pragma once
#include "support/SimulatorFixture.h"

class SimFixture : public SimulatorFixture {
protected:
    SimFixture() : SimulatorFixture({.hostIntervalMs = 150, .retryDelayMs = 100, .defaultReceiveTimeoutMs = 3000}) {}
};
