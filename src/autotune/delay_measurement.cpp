#include "autotune/delay_measurement.h"

namespace tunalyx {

MeasuredDelay measureSensorDelay(const std::vector<AutoTuneLog>&, const AutoTuneSettings&) {
    return {};  // to be written
}

}  // namespace tunalyx
