#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/host/advapi32/registry_file.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/environment_override.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// ---- The calls as the program uses them ---------------------------------------

TEST(RegistryApi, CreateSetQueryAndReopenTheSettingsKey) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(fs::exists(scratch.registryPath()));

    DWORD disposition = 0;
    ASSERT_EQ(CreateSettingsKey(&key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetTextValue(key, u"ScaleX", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(SetTextValue(key, u"OffsetX", u"-42.16471"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(scratch.registryText(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
              "\"ScaleX\"=\"1\"\n"
              "\"OffsetX\"=\"-42.16471\"\n\n");

    ASSERT_EQ(CreateSettingsKey(&key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    BYTE data[180];
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"OffsetX", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 18u);
    EXPECT_EQ(std::memcmp(data, u"-42.16471", 18), 0);
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleY", nullptr, &type, data, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST(RegistryApi, QueryFollowsTheWin32SizeRules) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    std::u16string longText(91, u'7');  // 182 bytes
    ASSERT_EQ(SetTextValue(key, u"ScaleX", longText), ERROR_SUCCESS);

    BYTE data[180];
    std::memset(data, 0xEE, sizeof data);
    DWORD size = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 182u);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(data[0], 0xEE);

    size = 0;
    type = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 182u);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, &type, data, nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", &reserved, &type, nullptr, &size),
              ERROR_INVALID_PARAMETER);

    BYTE exact[182];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, &type, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(exact, longText.data(), 182), 0);

    DWORD flags = 0x2A;
    ASSERT_EQ(RegSetValueExW(key, u"Flags", 0, REG_DWORD, reinterpret_cast<BYTE*>(&flags), 4),
              ERROR_SUCCESS);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExW(key, u"Flags", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data[0], 0x2A);
    RegCloseKey(key);
    EXPECT_NE(scratch.registryText().find("\"Flags\"=dword:0000002a\n"), std::string::npos);
}

TEST(RegistryApi, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"ScaleX", u"1"), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"SCALEX", u"1.12940"), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"Ключ", u"a"), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, u"КЛЮЧ", u"b"), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\qozserial", 0, nullptr, 0, 0, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    BYTE data[180];
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(key, u"scalex", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(std::memcmp(data, u"1.12940", 14), 0);
    RegCloseKey(key);

    EXPECT_EQ(scratch.registryText(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER]\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
              "\"ScaleX\"=\"1.12940\"\n"
              "\"Ключ\"=\"b\"\n\n");
}

// ---- Handles and parameters ------------------------------------------------------

TEST(RegistryApi, HandlesAreCheckedAndSubKeysResolvedLikeWin32) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    HKEY localMachine = reinterpret_cast<HKEY>(uintptr_t(0x80000002u));
    EXPECT_EQ(RegOpenKeyExW(localMachine, kSettingsKey, 0, 0, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(localMachine, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(nullptr, kSettingsKey, 0, 0, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 1, nullptr, 0, 0, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    for (const char16_t* bad : {u"Software\\\\QozSerial", u"\\Software", u"Software\\", u"a\tb"}) {
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, bad, 0, nullptr, 0, 0, nullptr, &key, nullptr),
                  ERROR_INVALID_PARAMETER);
    }
    std::u16string tooLong(256, u'k');
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(fs::exists(scratch.registryPath()));

    HKEY software = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software", 0, nullptr, 0, 0, nullptr, &software,
                              nullptr),
              ERROR_SUCCESS);
    DWORD disposition = 0;
    ASSERT_EQ(
        RegCreateKeyExW(software, u"QozSerial", 0, nullptr, 0, 0, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExW(key, nullptr, 0, 0, &same), ERROR_SUCCESS);
    EXPECT_NE(same, key);
    EXPECT_EQ(SetTextValue(same, u"ScaleY", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(software, u"", 0, 0, &same), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);

    EXPECT_EQ(RegQueryValueExW(key, u"ScaleY", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetTextValue(key, u"ScaleY", u"2"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleY", nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(software), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST(RegistryApi, SetValueChecksItsArgumentsAndNullNameIsTheDefaultValue) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    EXPECT_EQ(SetTextValue(key, nullptr, u"standard"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);

    const BYTE one = 1;
    EXPECT_EQ(RegSetValueExW(key, u"x", 1, REG_BINARY, &one, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"line\nbreak", 0, REG_BINARY, &one, 1), ERROR_INVALID_PARAMETER);
    std::u16string lone(1, char16_t(0xDC00));
    EXPECT_EQ(RegSetValueExW(key, lone.c_str(), 0, REG_BINARY, &one, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(scratch.registryText().find("@=\"standard\"\n\"empty\"=hex(3):\n"),
              std::string::npos);
}

TEST(RegistryApi, AKeyRemovedBehindAnOpenHandleIsReportedDeleted) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    scratch.writeRegistryText(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Other]\n");
    EXPECT_EQ(SetTextValue(key, u"ScaleX", u"1"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExW(key, u"ScaleX", nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key, u"Child", 0, nullptr, 0, 0, nullptr, &child, nullptr),
              ERROR_KEY_DELETED);
    RegCloseKey(key);
    EXPECT_EQ(scratch.registryText(),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Other]\n");
}

// ---- The file ------------------------------------------------------------------------

TEST(RegistryApi, TheFileLocationFollowsTheEnvironmentAtEachCall) {
    ScratchEnvironment scratch;
    EnvironmentOverride home("HOME", (scratch.dir() / "home").string());
    EXPECT_EQ(qoz::host::RegistryFilePath(), scratch.registryPath().string());

    setenv("QOZCAL_REGISTRY", "", 1);
    setenv("XDG_STATE_HOME", scratch.dir().c_str(), 1);
    EXPECT_EQ(qoz::host::RegistryFilePath(), (scratch.dir() / "qozcal/registry.reg").string());
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(fs::is_regular_file(scratch.dir() / "qozcal/registry.reg"));

    setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(qoz::host::RegistryFilePath(),
              (scratch.dir() / "home/.local/state/qozcal/registry.reg").string());
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(qoz::host::RegistryFilePath(),
              (scratch.dir() / "home/.local/state/qozcal/registry.reg").string());
}

TEST(RegistryApi, MissingFoldersAreCreatedOnTheFirstWriteOnly) {
    ScratchEnvironment scratch;
    fs::path nested = scratch.dir() / "a" / "b" / "registry.reg";
    setenv("QOZCAL_REGISTRY", nested.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(scratch.dir() / "a"));
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(fs::is_regular_file(nested));
}

TEST(RegistryApi, AZeroByteFileIsEmptyAndALeftoverTemporaryFileIsHarmless) {
    ScratchEnvironment scratch;
    scratch.writeRegistryText("");
    scratch.writeFile("registry.reg.tmp", "half a file from a killed writer [");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    EXPECT_EQ(SetTextValue(key, u"ScaleX", u"1"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(scratch.registryText().find("\"ScaleX\"=\"1\""), std::string::npos);
    // Every write has a temporary file of its own: the leftover is never in the way.
    EXPECT_EQ(ReadWholeFile(scratch.registryPath().string() + ".tmp"),
              "half a file from a killed writer [");
}

TEST(RegistryApi, RewritingKeepsTheFilePermissions) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    ASSERT_EQ(chmod(scratch.registryPath().c_str(), 0600), 0);
    EXPECT_EQ(SetTextValue(key, u"ScaleX", u"1"), ERROR_SUCCESS);
    RegCloseKey(key);
    struct stat status {};
    ASSERT_EQ(stat(scratch.registryPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(RegistryApi, ACorruptFileIsNeverRewrittenAndReportedOnce) {
    ScratchEnvironment scratch;
    const std::string corrupt =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_CURRENT_USER]\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
        "\"ScaleX\"=\"1.12940\"\n"
        "\"ScaleY\"=\"1.0\n"
        "\"OffsetX\"=\"0\"\n";
    scratch.writeRegistryText(corrupt);

    CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(CreateSettingsKey(&key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(CreateSettingsKey(&key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(SetTextValue(HKEY_CURRENT_USER, u"ScaleX", u"2"), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"ScaleX", nullptr, nullptr, nullptr, nullptr),
              ERROR_REGISTRY_CORRUPT);
    std::string messages = GetCapturedStderr();

    EXPECT_EQ(scratch.registryText(), corrupt);
    EXPECT_EQ(messages, "qozcal: cannot read settings file " + scratch.registryPath().string() +
                            ", line 7: unterminated string; the file is left unchanged\n");
}

TEST(RegistryApi, AChangeARegedit4FileCannotHoldIsRefusedAndTheFileKept) {
    ScratchEnvironment scratch;
    const std::string ansi = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QozSerial]\r\n";
    scratch.writeRegistryText(ansi);
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    CaptureStderr();
    EXPECT_EQ(SetTextValue(key, u"펜입력", u"1"), ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(GetCapturedStderr(),
              "qozcal: cannot write settings file " + scratch.registryPath().string() +
                  ": the value \"펜입력\" of HKEY_CURRENT_USER\\Software\\QozSerial would not read "
                  "back the same (a REGEDIT4 file holds Windows-1252 text only); the file is left "
                  "unchanged\n");
    EXPECT_EQ(scratch.registryText(), ansi);
    EXPECT_EQ(SetTextValue(key, u"ScaleX", u"1.12940"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(scratch.registryText(), ansi + "\"ScaleX\"=\"1.12940\"\r\n");
}

TEST(RegistryApi, APathThatIsAFolderFailsWithoutLosingIt) {
    ScratchEnvironment scratch;
    fs::path folder = scratch.dir() / "registry.reg.d";
    fs::create_directory(folder);
    scratch.writeFile("registry.reg.d/keep", "x");
    setenv("QOZCAL_REGISTRY", folder.c_str(), 1);

    CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateSettingsKey(&key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetTextValue(HKEY_CURRENT_USER, u"ScaleX", u"2"), ERROR_ACCESS_DENIED);
    std::string messages = GetCapturedStderr();

    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(ReadWholeFile(folder / "keep"), "x");
    EXPECT_EQ(messages,
              "qozcal: cannot read settings file " + folder.string() + ": Is a directory\n");
}

TEST(RegistryApi, PermissionProblemsAreAccessDeniedAndLoseNothing) {
    ScratchEnvironment scratch;
    ASSERT_EQ(chmod(scratch.dir().c_str(), 0755), 0);
    fs::path locked = scratch.dir() / "locked";
    fs::create_directory(locked);
    const std::string text =
        "Windows Registry Editor Version "
        "5.00\n\n[HKEY_CURRENT_USER\\Software\\QozSerial]\n\"ScaleX\"=\"1\"\n";
    scratch.writeFile("locked/unreadable.reg", text);
    scratch.writeFile("locked/readable.reg", text);
    ASSERT_EQ(chmod((locked / "unreadable.reg").c_str(), 0), 0);
    ASSERT_EQ(chmod((locked / "readable.reg").c_str(), 0644), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);

    // Permission bits bind only a process without root privileges; the
    // result names the first step that went wrong.
    ChildLaunch check{.unprivileged = true};
    check.function = [&] {
        HKEY key = nullptr;
        setenv("QOZCAL_REGISTRY", (locked / "unreadable.reg").c_str(), 1);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key) != ERROR_ACCESS_DENIED)
            return 1;
        if (SetTextValue(HKEY_CURRENT_USER, u"ScaleX", u"2") != ERROR_ACCESS_DENIED) return 2;
        setenv("QOZCAL_REGISTRY", (locked / "readable.reg").c_str(), 1);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &key) != ERROR_SUCCESS) return 3;
        if (SetTextValue(key, u"ScaleX", u"2") != ERROR_ACCESS_DENIED) return 4;
        if (RegQueryValueExW(key, u"ScaleX", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return 5;
        RegCloseKey(key);
        return 0;
    };
    EXPECT_EQ(RunChild(check, std::chrono::seconds(30)).status, 0);

    chmod(locked.c_str(), 0755);
    chmod((locked / "unreadable.reg").c_str(), 0644);
    EXPECT_EQ(ReadWholeFile(locked / "unreadable.reg"), text);
    EXPECT_EQ(ReadWholeFile(locked / "readable.reg"), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 2);
}
