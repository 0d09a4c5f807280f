#include <gtest/gtest.h>

#include <string>

#include "platform/common/utf16.h"
#include "settings/settings_store.h"
#include "tests/support/call_trace.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ClearCallTrace(); }
    ScratchEnvironment scratch;
};

TEST_F(SettingsStore, FirstStartSeedsTheFourNeutralValues) {
    EXPECT_EQ(InitQOZCalRegistry(), 0);
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    const char16_t* names[] = {u"ScaleX", u"ScaleY", u"OffsetX", u"OffsetY"};
    const char16_t* texts[] = {u"1", u"1", u"0", u"0"};
    for (int i = 0; i < 4; ++i) {
        StoredValue value = QueryQozSerialValue(names[i]);
        EXPECT_TRUE(value.present);
        EXPECT_EQ(value.type, (DWORD)REG_SZ);
        EXPECT_EQ(value.size, 2u);
        EXPECT_EQ(value.text, texts[i]);
    }
}

TEST_F(SettingsStore, AFailedSeedIsReportedAndTheOthersAreStillWritten) {
    FailCallsStartingWith("RegSetValueExW ScaleY");
    InitQOZCalRegistry();
    EXPECT_EQ(scratch.debugLog(),
              "AddQOZRegistryItem : Successed - [2] [ScaleX] - [1]\r\n"
              "AddQOZRegistryItem : Failed - [ScaleY] - [1]\r\n"
              "AddQOZRegistryItem : Successed - [2] [OffsetX] - [0]\r\n"
              "AddQOZRegistryItem : Successed - [2] [OffsetY] - [0]\r\n");
    EXPECT_FALSE(QueryQozSerialValue(u"ScaleY").present);
    EXPECT_EQ(QueryQozSerialValue(u"OffsetY").text, u"0");
}

TEST_F(SettingsStore, EveryOperationClosesTheKeysItOpened) {
    InitQOZCalRegistry();  // creates and seeds the key
    InitQOZCalRegistry();  // finds it
    EXPECT_EQ(SetQOZRegistryValue(u"SCALEX", u"1.12940"), 1);
    FailCallsStartingWith("RegSetValueExW SCALEY");
    EXPECT_EQ(SetQOZRegistryValue(u"SCALEY", u"1.06667"), 0);
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS];
    EXPECT_EQ(GetQOZRegistryValue(u"ScaleX", buffer), 1);
    EXPECT_EQ(GetQOZRegistryValue(u"Nothing", buffer), 0);
    EXPECT_EQ(RegistryKeysLeftOpen(), 0);
}

TEST_F(SettingsStore, AnExistingKeyIsLeftByteForByteAsItIs) {
    InitQOZCalRegistry();
    ASSERT_EQ(SetQOZRegistryValue(u"SCALEX", u"1.12940"), 1);
    std::string before = scratch.registryText();
    scratch.clearDebugLog();
    InitQOZCalRegistry();
    EXPECT_EQ(scratch.registryText(), before);
    EXPECT_EQ(scratch.debugLog(), "");
}

TEST_F(SettingsStore, AnExistingEmptyKeyStaysEmpty) {
    scratch.writeRegistryText(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\QozSerial]\r\n");
    InitQOZCalRegistry();
    EXPECT_EQ(scratch.debugLog(), "");
    EXPECT_FALSE(QueryQozSerialValue(u"ScaleX").present);
}

TEST_F(SettingsStore, UpperCaseNamesOverwriteTheMixedCaseSeeds) {
    InitQOZCalRegistry();
    EXPECT_EQ(SetQOZRegistryValue(u"OFFSETX", u"-42.16471"), 1);
    StoredValue value = QueryQozSerialValue(u"OffsetX");
    EXPECT_EQ(value.text, u"-42.16471");
    EXPECT_EQ(value.size, 18u);
    // One value, still under the spelling it was first written with.
    std::string file = scratch.registryText();
    EXPECT_NE(file.find("\"OffsetX\"=\"-42.16471\""), std::string::npos) << file;
    EXPECT_EQ(file.find("OFFSETX"), std::string::npos) << file;
}

TEST_F(SettingsStore, SetFailsWithoutTheKey) {
    EXPECT_EQ(SetQOZRegistryValue(u"SCALEX", u"1.00000"), 0);
    EXPECT_FALSE(QueryQozSerialValue(u"ScaleX").present);
    EXPECT_EQ(scratch.debugLog(), "");
}

TEST_F(SettingsStore, GetReadsTextAndTerminatesIt) {
    InitQOZCalRegistry();
    SetQOZRegistryValue(u"SCALEY", u"1.06667");
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS];
    for (WCHAR& unit : buffer) unit = u'#';
    EXPECT_EQ(GetQOZRegistryValue(u"scaley", buffer), 1);
    EXPECT_EQ(std::u16string(buffer), u"1.06667");
}

TEST_F(SettingsStore, GetReadsTextOfExactly180Bytes) {
    InitQOZCalRegistry();
    std::u16string longest(90, u'7');
    SetQOZRegistryValue(u"ScaleX", longest.c_str());
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS];
    EXPECT_EQ(GetQOZRegistryValue(u"ScaleX", buffer), 1);
    EXPECT_EQ(std::u16string(buffer), longest);
}

TEST_F(SettingsStore, GetRefusesTextLongerThan180BytesWithTheErrorLine) {
    InitQOZCalRegistry();
    SetQOZRegistryValue(u"ScaleX", std::u16string(91, u'7').c_str());
    scratch.clearDebugLog();
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS + 8];
    for (WCHAR& unit : buffer) unit = u'#';
    EXPECT_EQ(GetQOZRegistryValue(u"ScaleX", buffer), 0);
    EXPECT_EQ(scratch.debugLog(),
              "GetQOZRegistryValue : ERROR - dwSize = [182] dwType = [1] Result = [234]\r\n");
    EXPECT_EQ(buffer[QOZ_REGISTRY_BUFFER_CHARS], u'#') << "wrote past the documented buffer";
}

TEST_F(SettingsStore, GetRefusesAValueThatIsNotText) {
    InitQOZCalRegistry();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\QozSerial", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    DWORD flags = 42;
    ASSERT_EQ(RegSetValueExW(key, u"Flags", 0, REG_DWORD, (const BYTE*)&flags, 4), ERROR_SUCCESS);
    RegCloseKey(key);
    scratch.clearDebugLog();
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS];
    EXPECT_EQ(GetQOZRegistryValue(u"Flags", buffer), 0);
    EXPECT_EQ(scratch.debugLog(),
              "GetQOZRegistryValue : ERROR - dwSize = [4] dwType = [4] Result = [0]\r\n");
}

TEST_F(SettingsStore, GetOfAMissingValueReportsNotFound) {
    InitQOZCalRegistry();
    scratch.clearDebugLog();
    WCHAR buffer[QOZ_REGISTRY_BUFFER_CHARS];
    EXPECT_EQ(GetQOZRegistryValue(u"Nothing", buffer), 0);
    EXPECT_NE(scratch.debugLog().find("Result = [2]\r\n"), std::string::npos) << scratch.debugLog();
}

TEST_F(SettingsStore, ACorruptFileIsNeverOverwritten) {
    const std::string corrupt =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
        "\"ScaleX\"=\"1.1\n";
    scratch.writeRegistryText(corrupt);
    InitQOZCalRegistry();
    EXPECT_EQ(SetQOZRegistryValue(u"SCALEX", u"2.00000"), 0);
    EXPECT_EQ(scratch.registryText(), corrupt);
    EXPECT_EQ(scratch.debugLog(), "InitQOZCalRegistry : Fail RegCreateKeyEx\r\n");
}

}  // namespace
