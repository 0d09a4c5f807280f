#include "calibration/tap_sampling.h"

#include "calibration/stroke_buffer.h"

float sampleX[TARGET_COUNT];
float sampleY[TARGET_COUNT];
int sampleIndex;

int CollectTapSample(void) {
    // The tap's positions are entries 0 to n - 1, n being the entry that holds
    // the pen-up position. When the ring wrapped so that the pen-up landed on
    // entry 0, the positions before it are entries 1 to 255: they are the
    // tap's latest moves, and averaging them avoids a division by zero.
    int first = 0;
    int count = strokeIndex;
    if (count == 0) {
        first = 1;
        count = STROKE_CAPACITY - 1;
    }

    unsigned int sumX = 0;
    unsigned int sumY = 0;
    for (int entry = first; entry < first + count; ++entry) {
        sumX += (unsigned int)strokePoints[entry].x;
        sumY += (unsigned int)strokePoints[entry].y;
    }

    sampleX[sampleIndex] = (float)((double)sumX / (double)count);
    sampleY[sampleIndex] = (float)((double)sumY / (double)count);
    sampleIndex = sampleIndex + 1;
    return sampleIndex == TARGET_COUNT ? 1 : 0;
}
