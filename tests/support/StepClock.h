#pragma once

#include "model/Clock.h"

// A clock that moves on by a fixed step every time it is read, so that every reading differs.
class StepClock : public Clock {
public:
    StepClock(double start, double step) : m_next(start), m_step(step) {}
    double now() const override
    {
        const double value = m_next;
        m_next += m_step;
        return value;
    }

private:
    mutable double m_next;
    double m_step;
};

// A clock that always reads the same value; safe to read from worker threads.
class FixedClock : public Clock {
public:
    explicit FixedClock(double value) : m_value(value) {}
    double now() const override { return m_value; }

private:
    double m_value;
};

// A FixedClock installed for as long as it lives.
class InstalledFixedClock : public FixedClock {
public:
    explicit InstalledFixedClock(double value) : FixedClock(value), m_scope(*this) {}

private:
    ScopedClock m_scope;
};

// A StepClock installed for as long as it lives.
class InstalledStepClock : public StepClock {
public:
    InstalledStepClock(double start, double step) : StepClock(start, step), m_scope(*this) {}

private:
    ScopedClock m_scope;
};
