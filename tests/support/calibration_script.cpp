#include "tests/support/calibration_script.h"

const TapList& TapsAtTheTargets() {
    static const TapList taps = {{25, 33}, {217, 33}, {217, 289}, {25, 289}, {121, 161}};
    return taps;
}

std::string CalibrationScript(const TapList& taps, bool withKey, int pauseMs) {
    std::string pause = "wait " + std::to_string(pauseMs) + "\n";
    std::string script = (withKey ? "key space\n" : "tap 200 16\n") + pause;
    for (const Pixel& tap : taps)
        script +=
            "tap " + std::to_string(tap.first) + " " + std::to_string(tap.second) + "\n" + pause;
    return script;
}
