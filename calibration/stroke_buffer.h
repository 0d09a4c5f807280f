// The positions of the current pen stroke: a ring of 256 entries that every
// pen-down, pen-move and pen-up fills, and from which the pad draws.
#pragma once

#include "platform/platform.h"

#define STROKE_CAPACITY 256

typedef struct tagStrokePoint {
    int x;
    int y;
} StrokePoint;

extern StrokePoint strokePoints[STROKE_CAPACITY];
extern int strokeIndex;   // the most recently written entry, 0 to 255
extern int strokeLength;  // how many points the pad draws

// Stores the position packed in a pen message's lParam (x in the low 16 bits,
// y in the high 16 bits, both unsigned) at strokePoints[strokeIndex].
void RecordStrokePoint(LPARAM position);

// The three pen updates, applied in this order for each pen message.
void BeginStroke(LPARAM position);
void ExtendStroke(LPARAM position);
void EndStroke(LPARAM position);
