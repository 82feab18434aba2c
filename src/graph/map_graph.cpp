#include "graph/map_graph.h"

#include "model/number_format.h"
#include "session/tune_document.h"

namespace tunalyx {

GraphValues graphValues(const TuneDocument& tune, int grid) {
    GraphValues values{};
    for (int row = 1; row <= kMapRows; ++row) {
        for (int col = 1; col <= kMapCols; ++col) {
            const auto number =
                parseUserNumber(tune.maps.cellText(grid, row, col), tune.codec.locale());
            values[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)] =
                static_cast<float>(number.value_or(0.0));
        }
    }
    return values;
}

}  // namespace tunalyx
