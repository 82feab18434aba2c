#include <cstdio>

#include "log_analysis_parts.h"

int main() {
    tunalyx::LogStore log;
    const tunalyx::LogStoreSource source(log);
    std::printf("log-analysis open-s=0 peak-mb=0 frame-ms=0 scatter-ms=%.1f align-samples=%.1f\n",
                tunalyx::bench::scatterRedrawMs(source), tunalyx::bench::alignErrorSamples());
}
