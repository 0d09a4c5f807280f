// Turns the four corner samples of a finished calibration into a scale and an
// offset per axis, and publishes them: registry values, the end event and a
// debug line.
#pragma once

extern float scaleX;
extern float scaleY;
extern float offsetX;
extern float offsetY;

void Calibrate1Dimension(const float* samplesX, const float* samplesY);
