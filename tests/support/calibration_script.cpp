#include "tests/support/calibration_script.h"

const TapList& TapsAtTheTargets() {
    static const TapList taps = {{25, 33}, {217, 33}, {217, 289}, {25, 289}, {121, 161}};
    return taps;
}

std::string CalibrationScript(const TapList& taps, bool withKey, int pauseMs, Pixel buttonTap) {
    std::string pause = "wait " + std::to_string(pauseMs) + "\n";
    std::string button =
        "tap " + std::to_string(buttonTap.first) + " " + std::to_string(buttonTap.second) + "\n";
    std::string script = (withKey ? "key space\n" : button) + pause;
    for (const Pixel& tap : taps)
        script +=
            "tap " + std::to_string(tap.first) + " " + std::to_string(tap.second) + "\n" + pause;
    return script;
}
