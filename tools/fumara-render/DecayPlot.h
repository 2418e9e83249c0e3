// A picture of energy decay curves: level in dB against time in seconds, one line per curve,
// with axes, grid, labels and a legend, written as a PNG file through cairo.
#pragma once

#include <string>
#include <vector>

namespace analysis {

struct DecayCurve {
    std::string label;         // as the legend shows it
    std::vector<double> level; // dB per sample, from the impulse on (energyDecayCurve)
    double rate = 44100.0;
    int colour = 0;      // index into the plot's palette, so that related curves share one
    bool dashed = false; // e.g. the second channel of a pair
};

// Draws the curves from 0 dB down to `floorDb`, over the time the slowest of them needs to
// get there, under `title`. Answers false with the reason when the file cannot be written.
bool writeDecayPlot(const std::string& path, const std::vector<DecayCurve>& curves,
                    const std::string& title, std::string& error, double floorDb = -70.0);

} // namespace analysis
