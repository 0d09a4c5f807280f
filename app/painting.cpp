#include "app/painting.h"

#include "app/calibration_mode.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "calibration/targets.h"

static void DrawStroke(HDC deviceContext) {
    // The pen-down position in entry 0 is not part of the drawn line.
    POINT points[STROKE_CAPACITY];
    for (int i = 0; i < strokeLength; ++i) {
        points[i].x = strokePoints[i + 1].x;
        points[i].y = strokePoints[i + 1].y;
    }
    Polyline(deviceContext, points, strokeLength);
}

void PaintMainWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC deviceContext = BeginPaint(window, &paint);
    if (calibrating == 1) {
        DrawTargetCross(deviceContext);
    } else if (strokeIndex >= 2) {
        DrawStroke(deviceContext);
    }
    EndPaint(window, &paint);
}

static void DrawLine(HDC deviceContext, double x1, double y1, double x2, double y2) {
    POINT line[2];
    line[0].x = (LONG)x1;
    line[0].y = (LONG)y1;
    line[1].x = (LONG)x2;
    line[1].y = (LONG)y2;
    Polyline(deviceContext, line, 2);
}

void DrawTargetCross(HDC deviceContext) {
    double tx = targetX[sampleIndex];
    double ty = targetY[sampleIndex];
    const float halfSize = 5.0f;
    DrawLine(deviceContext, tx - halfSize, ty - halfSize, tx + halfSize, ty + halfSize);
    DrawLine(deviceContext, tx + halfSize, ty - halfSize, tx - halfSize, ty + halfSize);
}
