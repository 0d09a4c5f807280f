// qozcal-dbgcap: starts a program as its debugger and writes every string the
// program sends to the debug output (OutputDebugString) to a file, exactly as
// emitted: UTF-8, line ends as they are, nothing added. It exits with the
// program's exit code. This is how the program's debug lines are read on
// desktop Windows, where nothing else shows them.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qozcal-dbgcap OUTPUT PROGRAM [ARGUMENT...]\n"
    "Runs PROGRAM under a debugger, writes its debug output to OUTPUT\n"
    "('-' for standard output) and exits with PROGRAM's exit code.\n";

// Exit statuses of the capture itself, when the program could not be run.
constexpr int kUsageStatus = 2;
constexpr int kCannotRunStatus = 127;

// The breakpoint that the loader raises in every debugged process, natively
// and (STATUS_WX86_BREAKPOINT) for a 32-bit program on a 64-bit system.
constexpr DWORD kWx86Breakpoint = 0x4000001F;

// Quotes one argument so that the program's start-up splits it back out
// unchanged (the rules of CommandLineToArgvW).
std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only in front of a quote.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring CommandLine(int count, wchar_t** arguments) {
    std::wstring line;
    for (int i = 0; i < count; ++i) {
        if (i > 0) line.push_back(L' ');
        line += QuotedArgument(arguments[i]);
    }
    return line;
}

std::string Utf8FromWide(const wchar_t* text, int length) {
    if (length <= 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// A narrow debug string is in the system's ANSI code page.
std::string Utf8FromAnsi(const char* text, int length) {
    if (length <= 0) return std::string();
    int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), size);
    return Utf8FromWide(wide.data(), size);
}

// The debug string of the event, in UTF-8, up to its terminating NUL.
std::string DebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    size_t unit = info.fUnicode ? sizeof(wchar_t) : sizeof(char);
    std::vector<char> bytes(info.nDebugStringLength * unit + sizeof(wchar_t), '\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), info.nDebugStringLength * unit,
                      &read);
    if (info.fUnicode) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(bytes.data());
        return Utf8FromWide(text, static_cast<int>(wcsnlen(text, read / unit)));
    }
    return Utf8FromAnsi(bytes.data(), static_cast<int>(strnlen(bytes.data(), read)));
}

// Writes straight to the file: with no buffer in between, a reader sees each
// string as soon as the program has emitted it.
void WriteOut(HANDLE output, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(output, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0) {
            std::fprintf(stderr, "qozcal-dbgcap: cannot write the output (error %lu)\n",
                         GetLastError());
            return;
        }
        done += written;
    }
}

// How the program continues after an exception: the loader's breakpoint is
// the debugger's own business; every other exception goes back to the
// program's handlers, as if no debugger were there.
DWORD ExceptionContinuation(const EXCEPTION_DEBUG_INFO& info) {
    DWORD code = info.ExceptionRecord.ExceptionCode;
    if (code == EXCEPTION_BREAKPOINT || code == kWx86Breakpoint) return DBG_CONTINUE;
    return DBG_EXCEPTION_NOT_HANDLED;
}

using WaitForDebugEventCall = BOOL(WINAPI*)(LPDEBUG_EVENT, DWORD);

// Windows 10 and later hand a debugger that waits with WaitForDebugEventEx the
// program's wide debug strings as they are; WaitForDebugEvent gets them
// converted to the ANSI code page. Older systems (and Wine 8) have only the
// latter.
WaitForDebugEventCall DebugEventWait() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC wideWait = kernel != nullptr ? GetProcAddress(kernel, "WaitForDebugEventEx") : nullptr;
    if (wideWait != nullptr)
        return reinterpret_cast<WaitForDebugEventCall>(reinterpret_cast<void (*)()>(wideWait));
    return WaitForDebugEvent;
}

// Handles debug events until the program ends; returns its exit code.
DWORD CaptureUntilExit(HANDLE process, HANDLE output) {
    WaitForDebugEventCall waitForDebugEvent = DebugEventWait();
    for (;;) {
        DEBUG_EVENT event;
        if (!waitForDebugEvent(&event, INFINITE)) {
            std::fprintf(stderr, "qozcal-dbgcap: waiting for the program failed (error %lu)\n",
                         GetLastError());
            TerminateProcess(process, kCannotRunStatus);
            return kCannotRunStatus;
        }
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile != nullptr)
                    CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
                break;
            case OUTPUT_DEBUG_STRING_EVENT:
                WriteOut(output, DebugString(process, event.u.DebugString));
                break;
            case EXCEPTION_DEBUG_EVENT:
                continuation = ExceptionContinuation(event.u.Exception);
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                return event.u.ExitProcess.dwExitCode;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
    }
}

HANDLE OpenOutput(const wchar_t* path) {
    if (wcscmp(path, L"-") == 0) return GetStdHandle(STD_OUTPUT_HANDLE);
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return kUsageStatus;
    }
    HANDLE output = OpenOutput(argv[1]);
    if (output == INVALID_HANDLE_VALUE || output == nullptr) {
        std::fprintf(stderr, "qozcal-dbgcap: cannot create %ls (error %lu)\n", argv[1],
                     GetLastError());
        return kCannotRunStatus;
    }

    std::wstring commandLine = CommandLine(argc - 2, argv + 2);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // The program inherits the standard handles, so its own output goes
    // where the capture's goes.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &started)) {
        std::fprintf(stderr, "qozcal-dbgcap: cannot start %ls (error %lu)\n", argv[2],
                     GetLastError());
        return kCannotRunStatus;
    }
    CloseHandle(started.hThread);

    DWORD exitCode = CaptureUntilExit(started.hProcess, output);
    CloseHandle(started.hProcess);
    if (output != GetStdHandle(STD_OUTPUT_HANDLE)) CloseHandle(output);
    return static_cast<int>(exitCode);
}
