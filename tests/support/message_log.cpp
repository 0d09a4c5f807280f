#include "tests/support/message_log.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace {

// As Wine's ok_sequence prints them: name, parameters and window.
std::string Describe(const ExpectedMessage& message) {
    static const std::map<UINT, const char*> names = {{WM_PAINT, "WM_PAINT"},
                                                      {WM_KEYDOWN, "WM_KEYDOWN"},
                                                      {WM_KEYUP, "WM_KEYUP"},
                                                      {WM_CHAR, "WM_CHAR"},
                                                      {WM_COMMAND, "WM_COMMAND"},
                                                      {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
                                                      {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
                                                      {WM_LBUTTONUP, "WM_LBUTTONUP"}};
    std::ostringstream text;
    text << std::hex << std::showbase;
    auto name = names.find(message.message);
    if (name != names.end())
        text << name->second;
    else
        text << "message " << message.message;
    text << "(";
    message.wParam ? text << *message.wParam : text << "any";
    text << ", ";
    message.lParam ? text << *message.lParam : text << "any";
    text << ")";
    if (message.window != nullptr) text << " to " << static_cast<const void*>(message.window);
    return text.str();
}

bool Matches(const LoggedMessage& got, const ExpectedMessage& want) {
    return got.message == want.message && (!want.wParam || *want.wParam == got.wParam) &&
           (!want.lParam || *want.lParam == got.lParam) &&
           (want.window == nullptr || want.window == got.window);
}

}  // namespace

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog.push_back({window, message, wParam, lParam});
    if (message == WM_PAINT && paintHandler) {
        paintHandler(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<LoggedMessage> MessagesTo(HWND window) {
    std::vector<LoggedMessage> found;
    std::copy_if(messageLog.begin(), messageLog.end(), std::back_inserter(found),
                 [&](const LoggedMessage& each) { return each.window == window; });
    return found;
}

::testing::AssertionResult SequenceMatches(const std::vector<LoggedMessage>& logged,
                                           const std::vector<ExpectedMessage>& expected) {
    std::ostringstream faults;
    for (size_t i = 0; i < std::max(logged.size(), expected.size()); ++i) {
        faults << "\n  " << i << ": ";
        if (i >= logged.size()) {
            faults << "missing " << Describe(expected[i]);
            continue;
        }
        const LoggedMessage& got = logged[i];
        std::string gotText = Describe({got.message, got.wParam, got.lParam, got.window});
        if (i >= expected.size())
            faults << "unexpected " << gotText;
        else if (!Matches(got, expected[i]))
            faults << gotText << ", expected " << Describe(expected[i]);
        else
            faults << gotText;
    }
    bool same = logged.size() == expected.size() &&
                std::equal(logged.begin(), logged.end(), expected.begin(), Matches);
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the messages differ:" << faults.str();
}
