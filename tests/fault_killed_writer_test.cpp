// A process killed at any point while it writes settings: the file it leaves
// always parses and holds the value from before or after the write it was
// in, and nothing else in the file is lost.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/host/advapi32/registry_text.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::u16string oldText = u"1.11111";
const std::u16string newText = u"-22.22222";
constexpr int writesPerRun = 300;

// A process that writes ScaleX alternately with the two texts; it ends with
// status 0 when all writes succeeded.
ChildProcess StartWriter(int writes = writesPerRun) {
    ChildLaunch writer;
    writer.function = [writes] {
        HKEY key = nullptr;
        if (CreateSettingsKey(&key) != ERROR_SUCCESS) return 1;
        for (int i = 0; i < writes; ++i)
            if (SetTextValue(key, u"ScaleX", i % 2 ? oldText : newText) != ERROR_SUCCESS) return 2;
        return 0;
    };
    return StartChild(writer);
}

// The file's ScaleX and Driver values, or a description of what is wrong.
std::string CheckFile(const ScratchEnvironment& scratch) {
    qoz::host::ParseResult parsed = qoz::host::ParseRegistry(scratch.registryText());
    if (parsed.error)
        return "does not parse: line " + std::to_string(parsed.error->line) + ": " +
               parsed.error->reason;
    std::optional<size_t> key =
        qoz::host::FindKey(parsed.registry, {u"HKEY_CURRENT_USER", u"Software", u"QozSerial"});
    if (!key) return "the key is gone";
    auto text = [&](std::u16string_view name) -> std::u16string {
        const qoz::host::RegistryValue* value = qoz::host::FindValue(parsed.registry, *key, name);
        if (value == nullptr || value->type != REG_SZ) return u"(none)";
        return std::u16string(reinterpret_cast<const char16_t*>(value->data.data()),
                              value->data.size() / 2);
    };
    std::u16string scale = text(u"ScaleX");
    if (scale != oldText && scale != newText) return "ScaleX holds neither text";
    if (text(u"Driver") != u"keep me") return "the Driver value was lost";
    return "";
}

TEST(KilledWriter, LeavesTheOldOrTheNewValueAndLosesNothingElse) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"Driver", u"keep me"), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"ScaleX", oldText), ERROR_SUCCESS);
    RegCloseKey(key);

    // A short uncut run first, to know how long one write takes here (each
    // is made durable on disk, so it takes milliseconds).
    constexpr int timedWrites = 20;
    auto began = Clock::now();
    ChildProcess whole = StartWriter(timedWrites);
    ASSERT_EQ(WaitChild(whole, 60s), 0) << "an uninterrupted loop failed";
    auto writeTime =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began) / timedWrites;
    ASSERT_EQ(CheckFile(scratch), "");

    // Each writer dies within its first few writes, at a random moment of
    // one of them: what matters is where inside a write the kill lands.
    std::mt19937 random(20240611);
    std::uniform_int_distribution<long> killAfter(0, 6 * writeTime.count());
    const auto budget = std::chrono::seconds(12);
    int rounds = 0, killedMidway = 0;
    for (auto start = Clock::now(); rounds < 200 && Clock::now() - start < budget; ++rounds) {
        ChildProcess writer = StartWriter();
        std::this_thread::sleep_for(std::chrono::microseconds(killAfter(random)));
        if (StopChild(writer)) ++killedMidway;
        std::string fault = CheckFile(scratch);
        ASSERT_EQ(fault, "") << "after round " << rounds;
    }
    EXPECT_GE(rounds, 20);
    EXPECT_GE(killedMidway, rounds / 2) << "most writers should have died inside their loop";
    std::printf("%d rounds, %d writers killed inside their loop of %d writes (%lld us a write)\n",
                rounds, killedMidway, writesPerRun, static_cast<long long>(writeTime.count()));

    // The lock and any half-written temporary file of a killed writer stand
    // in nobody's way.
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetTextValue(key, u"ScaleX", newText), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(CheckFile(scratch), "");
}

}  // namespace
