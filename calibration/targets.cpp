#include "calibration/targets.h"

float targetX[TARGET_COUNT];
float targetY[TARGET_COUNT];

void LayOutTargets(float width, float height) {
    const double nearFactor = 0.1;
    const double farFactor = 0.9;
    const double half = 0.5;
    double bottom = (double)height * farFactor;

    targetX[0] = (float)((double)width * nearFactor);
    targetY[0] = (float)((double)height * nearFactor);

    targetX[1] = (float)((double)width * farFactor);
    targetX[2] = targetX[1];
    targetX[3] = targetX[0];

    targetY[1] = targetY[0];
    targetY[2] = (float)bottom;
    targetY[3] = targetY[2];

    // The centre's y is formed from the bottom edge before its rounding.
    targetX[4] = (float)(((double)targetX[1] + (double)targetX[0]) * half);
    targetY[4] = (float)((bottom + (double)targetY[0]) * half);
}
