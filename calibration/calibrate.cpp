#include "calibration/calibrate.h"

#include "platform/platform.h"
#include "settings/calibration_events.h"
#include "settings/settings_store.h"

float scaleX = 1.0f;
float scaleY = 1.0f;
float offsetX = 0.0f;
float offsetY = 0.0f;

// Device units per pixel along each axis.
static const float pixelToDeviceX = 4.266719f;
static const float pixelToDeviceY = 3.2f;
// Device-unit distance between the 10 % and 90 % targets, and where the 90 %
// targets lie.
static const double targetSpan = 819.2;
static const double farTarget = 921.6;
static const double half = 0.5;

// Truncates toward zero; values beyond the int range (taps less than a pixel
// apart give huge scales) saturate instead of overflowing.
static int TruncateToInt(double value) {
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return (-2147483647 - 1);
    return (int)value;
}

static void StoreSetting(LPCWSTR name, double value) {
    WCHAR text[1024];
    wsprintfW(text, TEXT("%.5f"), value);
    SetQOZRegistryValue(name, text);
}

void Calibrate1Dimension(const float* samplesX, const float* samplesY) {
    float right = (float)(((double)samplesX[1] + (double)samplesX[2]) * half * pixelToDeviceX);
    float top = (float)(((double)samplesY[0] + (double)samplesY[1]) * half * pixelToDeviceY);
    float bottom = (float)(((double)samplesY[2] + (double)samplesY[3]) * half * pixelToDeviceY);
    double left = ((double)samplesX[0] + (double)samplesX[3]) * half * pixelToDeviceX;

    double widthSpan = (double)right - left;
    double heightSpan = (double)bottom - (double)top;

    // Edges that coincide exactly leave nothing to divide by. The touch driver
    // keeps the settings it has, so nothing is stored; the end event still
    // tells it that the calibration is over. Edges that differ at all, even
    // by a rounding, are fitted like any others.
    if (widthSpan == 0.0 || heightSpan == 0.0) {
        SignalCalibrationEnd();
        NKDbgPrintfW(TEXT("Calibrate1Dimension : Degenerate taps - settings kept\r\n"));
        return;
    }

    double fitScaleX = targetSpan / widthSpan;
    double fitOffsetX = farTarget - fitScaleX * (double)right;
    double fitScaleY = targetSpan / heightSpan;
    double fitOffsetY = farTarget - fitScaleY * (double)bottom;

    scaleX = (float)fitScaleX;
    offsetX = (float)fitOffsetX;
    scaleY = (float)fitScaleY;
    offsetY = (float)fitOffsetY;

    StoreSetting(TEXT("SCALEX"), fitScaleX);
    StoreSetting(TEXT("SCALEY"), scaleY);
    StoreSetting(TEXT("OFFSETX"), offsetX);
    StoreSetting(TEXT("OFFSETY"), offsetY);

    SignalCalibrationEnd();

    NKDbgPrintfW(TEXT("Calibrate1Dimension : Scale = [%d %d] Offset = [%d %d]\r\n"),
                 TruncateToInt((double)scaleX * 100.0), TruncateToInt((double)scaleY * 100.0),
                 TruncateToInt((double)offsetX * 100.0), TruncateToInt((double)offsetY * 100.0));
}
