#pragma once

namespace kestrova {

// The program's one pseudo-random sequence.
class Random {
public:
    virtual ~Random() = default;
    // A number at least 0 and below 1.
    virtual double next() = 0;
    virtual void seed(unsigned int value) = 0;
};

} // namespace kestrova
