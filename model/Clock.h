#pragma once

#include "model/Seam.h"

// The current local date-time as a day count since 30 December 1899. Production uses the system
// clock; tests install a fake for the duration of a scope.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

double Now();

// Installs a clock for as long as it lives; the previous one comes back afterwards.
using ScopedClock = Seam<const Clock>::Scope;
