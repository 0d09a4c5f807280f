// The reference touch driver: what the device's driver does between the
// touch panel and the window system. It turns panel readings into screen
// pixels with the four published settings, switches to raw readings while a
// calibration runs (CALSTARTEVENT) and reloads the settings when one ends
// (CALENDEVENT). docs/touch-driver.md derives the mapping.
#pragma once

#include "platform/host/simulator/touch_panel.h"
#include "platform/platform.h"

namespace qoz::sim {

// ScaleX, ScaleY, OffsetX, OffsetY; neutral when absent.
struct DriverSettings {
    double scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0;
};

// The four values under HKEY_CURRENT_USER\Software\QozSerial. A value that is
// missing or not a decimal number keeps its neutral meaning.
DriverSettings ReadDriverSettings();

struct ScreenPosition {
    double x = 0, y = 0;  // screen pixels
};

// A reading as it is delivered while a calibration runs: the panel's range
// spread across the screen, nothing corrected.
ScreenPosition RawPosition(PanelReading reading, int screenWidth, int screenHeight);

// A reading through the settings: into the program's device units (client
// pixels times its constants K_x and K_y), through scale and offset, and back
// from 1024 device units across the screen to the client area's pixels.
ScreenPosition CalibratedPosition(PanelReading reading, const DriverSettings& settings,
                                  int screenWidth, int screenHeight);

class ReferenceDriver {
public:
    // Opens (or creates) both events and reads the settings.
    ReferenceDriver(int screenWidth, int screenHeight);
    ~ReferenceDriver();
    ReferenceDriver(const ReferenceDriver&) = delete;
    ReferenceDriver& operator=(const ReferenceDriver&) = delete;

    // Takes the events set since the last call, without waiting: a start
    // switches to raw readings, an end reloads the settings and switches back.
    void TakeEvents();

    // The pixel a reading is delivered at, rounded and kept on the screen.
    POINT Deliver(PanelReading reading) const;

    bool Raw() const { return raw_; }
    const DriverSettings& Settings() const { return settings_; }

private:
    int width_, height_;
    HANDLE startEvent_, endEvent_;
    DriverSettings settings_;
    bool raw_ = false;
};

}  // namespace qoz::sim
