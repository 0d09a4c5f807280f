// Where the five X marks of a calibration lie, in the order they are tapped:
// top-left, top-right, bottom-right, bottom-left, centre.
#pragma once

#define TARGET_COUNT 5

extern float targetX[TARGET_COUNT];
extern float targetY[TARGET_COUNT];

// Lays the targets out at 10 % and 90 % of the screen's width and height.
void LayOutTargets(float width, float height);
