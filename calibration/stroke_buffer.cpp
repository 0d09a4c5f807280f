#include "calibration/stroke_buffer.h"

StrokePoint strokePoints[STROKE_CAPACITY];
int strokeIndex;
int strokeLength;

void RecordStrokePoint(LPARAM position) {
    strokePoints[strokeIndex].x = (int)LOWORD(position);
    strokePoints[strokeIndex].y = (int)HIWORD(position);
}

void BeginStroke(LPARAM position) {
    strokeIndex = 0;
    RecordStrokePoint(position);
    strokeLength = 0;
}

void ExtendStroke(LPARAM position) {
    strokeIndex = (strokeIndex + 1) % STROKE_CAPACITY;
    RecordStrokePoint(position);
    strokeLength = strokeIndex;
}

void EndStroke(LPARAM position) {
    strokeIndex = (strokeIndex + 1) % STROKE_CAPACITY;
    RecordStrokePoint(position);
    strokeLength = strokeIndex;
}
