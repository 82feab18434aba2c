#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapwatch/map_watch.h"
#include "monitor/sample_source.h"

namespace tunalyx {

// The axes each sample of a source is placed with: those of the tune it ran on from `ranOn`'s
// first samples on (as `MapWatch::axesOf` takes them), else `axes`. Walks forward only, so a
// pass over the samples in order costs nothing per sample.
class AxesWalker {
public:
    AxesWalker(const std::vector<MapAxesFrom>& ranOn, const MapAxes& axes);
    [[nodiscard]] const MapAxes& at(int s);

private:
    const std::vector<MapAxesFrom>& m_ranOn;
    const MapAxes& m_axes;
    std::size_t m_next = 0;
    const MapAxes* m_current;
};

// Every sample of a source on the map's axes: x the fractional column from Rpm, y the row from
// Load, as the map watch's Advanced source places them, and the value of the colour item. A
// sample without an Rpm or Load number is left out; one without a colour value keeps its place
// and a NaN colour.
struct ScatterPoints {
    std::vector<float> x;
    std::vector<float> y;
    std::vector<float> colour;
    std::vector<int> sample;  // which sample each point is
    float low = 0;            // the colour values' range; low > high when there is none
    float high = -1;

    void place(const SampleSource& source, const std::vector<MapAxesFrom>& ranOn,
               const MapAxes& axes);
    // Only the colours again, for another colour item: the places stand.
    void colourBy(const SampleSource& source, int item);
    [[nodiscard]] std::size_t size() const { return x.size(); }
};

// A cell's values of one item in bins of equal width from its least to its greatest value;
// a cell of one value has one bin.
struct Histogram {
    std::vector<int> counts;
    std::vector<double> edges;  // counts.size() + 1 of them, empty with no value
    [[nodiscard]] int total() const;
};
[[nodiscard]] Histogram histogramOf(const std::vector<double>& values, int bins = 20);

// The map watch's statistics of any source: per cell the count, minimum, maximum and average of
// an item, by the map watch itself. The cell each sample was taken in is kept for its histogram.
class CellStatistics {
public:
    MapWatchOptions options;

    void compute(const SampleSource& source, const std::vector<MapAxesFrom>& ranOn,
                 const MapAxes& axes);
    [[nodiscard]] int count(int row, int col) const {
        return m_watch ? m_watch->count(row, col) : 0;
    }
    // As `MapWatch::cellText`, with the function and decimal places chosen now.
    [[nodiscard]] std::string cellText(int row, int col, const NumberLocale& locale = {},
                                       Precision itemPrecision = Precision::Double) const;
    // The values the cell took, in the order of their samples.
    [[nodiscard]] std::vector<double> valuesIn(const SampleSource& source, int row, int col) const;

private:
    static constexpr std::int16_t kNotTaken = -1;

    std::unique_ptr<MapWatch> m_watch;
    std::vector<std::int16_t> m_takenIn;  // per sample the cell index it counted in
};

}  // namespace tunalyx
