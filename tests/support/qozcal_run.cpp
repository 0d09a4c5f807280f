#include "tests/support/qozcal_run.h"

ChildResult RunQozcal(const ScratchEnvironment& scratch,
                      const std::vector<std::string>& arguments) {
    ChildLaunch launch;
    launch.argv = {QOZCAL_PATH};
    launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
    launch.directory = scratch.dir();
    return RunChild(launch, std::chrono::seconds(60));
}

std::string SettingsProblemOutput(const std::string& problem) {
    return "qozcal: " + problem + "\nqozcal: the settings of this run were not all stored: " +
           problem + "\n";
}

bool ProgramRan(const ScratchEnvironment& scratch) {
    return std::filesystem::exists(scratch.registryPath()) ||
           std::filesystem::exists(scratch.debugLogPath());
}

std::string Scenario(const std::string& name) { return QOZCAL_SCENARIO_DIR "/" + name; }

std::string Example(const std::string& name) { return QOZCAL_EXAMPLES_DIR "/" + name; }

ChildLaunch ScriptLaunch(const ScratchEnvironment& scratch, const ScriptRun& run) {
    std::string script = run.script.empty() ? scratch.writeFile("run.pen", run.text) : run.script;
    ChildLaunch launch;
    launch.argv = {QOZCAL_PATH, "--headless"};
    if (!run.realTime) launch.argv.push_back("--virtual-time");
    launch.argv.insert(
        launch.argv.end(),
        {"--registry", run.registry.empty() ? scratch.registryPath().string() : run.registry,
         "--debug-log", run.debugLog.empty() ? scratch.debugLogPath().string() : run.debugLog,
         "--script", script});
    launch.argv.insert(launch.argv.end(), run.extra.begin(), run.extra.end());
    launch.directory = run.directory.empty() ? scratch.dir() : run.directory;
    launch.unprivileged = run.unprivileged;
    return launch;
}

ChildResult RunScript(const ScratchEnvironment& scratch, const ScriptRun& run) {
    return RunChild(ScriptLaunch(scratch, run), run.patience);
}
