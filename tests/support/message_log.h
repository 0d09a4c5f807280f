// The messages a test window's procedure receives, and a check of such a
// sequence against the expected one in the manner of Wine's ok_sequence:
// every difference is named, message by message.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"

struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message RecordingProcedure received, in order.
inline std::vector<LoggedMessage> messageLog;
// What RecordingProcedure does with WM_PAINT; by default the default
// procedure validates.
inline std::function<void(HWND)> paintHandler;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::vector<LoggedMessage> MessagesTo(HWND window);

// One message of an expected sequence; what is left out matches anything.
struct ExpectedMessage {
    UINT message = 0;
    std::optional<WPARAM> wParam{};
    std::optional<LPARAM> lParam{};
    HWND window = nullptr;
};

// Success when `logged` holds exactly the expected messages, in this order.
::testing::AssertionResult SequenceMatches(const std::vector<LoggedMessage>& logged,
                                           const std::vector<ExpectedMessage>& expected);
