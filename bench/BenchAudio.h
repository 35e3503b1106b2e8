#pragma once

// Where the speech lies in a recording, for the benchmarks that hear it.
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// The level of each 10 ms frame (160 samples) and the loudest of them.
inline std::vector<double> frameLevels(const std::vector<std::int16_t> &s, double *loudest)
{
    constexpr std::size_t Frame = 160;
    std::vector<double> rms;
    for (std::size_t at = 0; at + Frame <= s.size(); at += Frame) {
        double sum = 0;
        for (std::size_t k = at; k < at + Frame; ++k)
            sum += double(s[k]) * s[k];
        rms.push_back(std::sqrt(sum / Frame));
    }
    *loudest = rms.empty() ? 0 : *std::max_element(rms.begin(), rms.end());
    return rms;
}

// The end of the speech: the end of the last 10 ms frame whose level is
// within 30 dB of the loudest frame.
inline std::size_t speechEnd(const std::vector<std::int16_t> &s)
{
    double loudest = 0;
    const std::vector<double> rms = frameLevels(s, &loudest);
    for (std::size_t f = rms.size(); f-- > 0;)
        if (rms[f] >= loudest * 0.0316)
            return (f + 1) * 160;
    return 0;
}
