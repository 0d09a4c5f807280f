// The accuracy a calibration reaches, for a table of misaligned panels: each
// benchmark runs one whole calibration through the panel and the reference
// driver in this process (its time is the figure), keeps the residuals as
// counters, and the table and error-field pictures are made from them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include "bench/accuracy.h"
#include "bench/accuracy_table.h"
#include "bench/error_field.h"

namespace qoz::bench {

namespace {

const sim::PanelModel offsetOnly{.dx = 12, .dy = -9};
const sim::PanelModel gainOnly{.sx = 1.06, .sy = 0.95};
const sim::PanelModel both{.dx = 12, .dy = -9, .sx = 1.06, .sy = 0.95};

sim::PanelModel With(sim::PanelModel model, double rotation, double noise) {
    model.rotationDegrees = rotation;
    model.noisePixels = noise;
    return model;
}

std::vector<PanelCase> Cases() {
    std::vector<PanelCase> cases;
    for (auto [width, height] : {std::pair{240, 320}, std::pair{320, 240}}) {
        std::string screen = std::to_string(width) + "x" + std::to_string(height);
        cases.push_back({"offset/" + screen, offsetOnly, width, height});
        cases.push_back({"gain/" + screen, gainOnly, width, height});
        cases.push_back({"both/" + screen, both, width, height});
        cases.push_back({"both_turned_1deg/" + screen, With(both, 1, 0), width, height});
        cases.push_back({"both_noise_0.5px/" + screen, With(both, 0, 0.5), width, height});
        cases.push_back({"both_noise_1px/" + screen, With(both, 0, 1), width, height});
    }
    return cases;
}

std::map<std::string, AccuracyResult>& Results() {
    static std::map<std::string, AccuracyResult> results;
    return results;
}

void BM_CalibrationAccuracy(benchmark::State& state, const PanelCase& panelCase) {
    AccuracyResult result;
    for (auto _ : state) result = MeasureAccuracy(panelCase);
    if (!result.error.empty()) {
        state.SkipWithError(result.error.c_str());
        return;
    }
    state.counters["taps"] = result.tapsSampled;
    state.counters["before_worst"] = result.before.worst;
    state.counters["after_worst"] = result.after.worst;
    state.counters["affine_worst"] = result.affine.worst;
    state.counters["per_axis_worst"] = result.perAxis.worst;
    state.counters["limit_worst"] = result.limit.worst;
    Results()[panelCase.name] = result;
}

[[maybe_unused]] const bool registered = [] {
    for (const PanelCase& panelCase : Cases())
        benchmark::RegisterBenchmark(("BM_CalibrationAccuracy/" + panelCase.name).c_str(),
                                     BM_CalibrationAccuracy, panelCase)
            ->UseRealTime();
    return true;
}();

std::string Cell(const Residual& residual) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f / %.2f", residual.mean, residual.worst);
    return text;
}

}  // namespace

void PrintAccuracyTable() {
    if (Results().empty()) return;
    std::printf(
        "\nResidual error over the test touches, mean / worst in pixels\n\n"
        "| panel | screen | before | qozcal after | affine, 5 taps | per-axis, 4 corners | "
        "limit |\n|---|---|---|---|---|---|---|\n");
    for (const PanelCase& panelCase : Cases()) {
        auto found = Results().find(panelCase.name);
        if (found == Results().end()) continue;
        const AccuracyResult& result = found->second;
        std::string name = panelCase.name.substr(0, panelCase.name.find('/'));
        std::string after = result.calibrated
                                ? Cell(result.after)
                                : "not completed (" + std::to_string(result.tapsSampled) +
                                      " of 5 taps reached the window)";
        std::printf("| %s | %d × %d | %s | %s | %s | %s | %s |\n", name.c_str(), panelCase.width,
                    panelCase.height, Cell(result.before).c_str(), after.c_str(),
                    Cell(result.affine).c_str(), Cell(result.perAxis).c_str(),
                    Cell(result.limit).c_str());
    }
}

bool WriteAccuracyPictures(const std::string& folder) {
    bool allWritten = true;
    for (const char* name :
         {"both/240x320", "both_turned_1deg/240x320", "both_noise_1px/240x320"}) {
        auto found = Results().find(name);
        if (found == Results().end()) continue;
        std::string file = std::string(name);
        file = folder + "/accuracy-" + file.substr(0, file.find('/')) + ".png";
        std::string error;
        if (!WriteErrorField(file, 240, 320, found->second.beforeArrows, found->second.afterArrows,
                             2, error)) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
            allWritten = false;
        }
    }
    return allWritten;
}

}  // namespace qoz::bench
