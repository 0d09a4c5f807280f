// The handle table behind windows, device contexts, brushes, events and
// registry keys: kinds never mix, closed handles fail, slots are reused only
// where the table says so, and the locked table is safe across threads.
#include "platform/host/kernel32/handle_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

using qoz::host::HandleKind;
using qoz::host::HandleTable;
using qoz::host::LockedHandleTable;
using qoz::host::SlotReuse;

using Reused = HandleTable<HANDLE, int, SlotReuse::AfterClose>;
using Kept = HandleTable<HANDLE, int, SlotReuse::Never>;

template <typename Table>
std::vector<int> Contents(Table& table) {
    std::vector<int> contents;
    table.ForEach([&](int value) { contents.push_back(value); });
    return contents;
}

TEST(HandleTable, KindsDoNotMixAndForeignValuesFindNothing) {
    Kept windows(HandleKind::Window);
    Kept events(HandleKind::Event);
    HANDLE window = windows.Add(1);
    HANDLE event = events.Add(2);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_NE(window, event);  // both first in their tables
    EXPECT_EQ(*windows.Find(window), 1);
    EXPECT_EQ(*events.Find(event), 2);
    EXPECT_EQ(windows.Find(event), nullptr);
    EXPECT_EQ(events.Find(window), nullptr);

    int local = 0;
    auto value = reinterpret_cast<uintptr_t>(window);
    EXPECT_EQ(value % 4, 0u);
    for (uintptr_t foreign :
         {uintptr_t(0), value + 1, value + 2, value + 4, value | (uintptr_t(1) << 28),
          uintptr_t(0x80000001u), reinterpret_cast<uintptr_t>(&local)})
        EXPECT_EQ(windows.Find(reinterpret_cast<HANDLE>(foreign)), nullptr) << std::hex << foreign;
}

TEST(HandleTable, ClosedHandlesFailAndClearForgetsEverything) {
    Reused table(HandleKind::DeviceContext);
    HANDLE first = table.Add(1);
    HANDLE second = table.Add(2);
    EXPECT_EQ(table.Close(first), std::optional<int>(1));
    EXPECT_EQ(table.Find(first), nullptr);
    EXPECT_EQ(table.Close(first), std::nullopt);
    EXPECT_EQ(*table.Find(second), 2);
    table.Clear();
    EXPECT_EQ(table.Find(second), nullptr);
    EXPECT_EQ(Contents(table), std::vector<int>{});
}

TEST(HandleTable, AReusedSlotComesBackUnderANewHandle) {
    Reused table(HandleKind::DeviceContext);
    HANDLE first = table.Add(1);
    HANDLE second = table.Add(2);
    table.Add(3);
    table.Close(second);
    HANDLE fourth = table.Add(4);
    EXPECT_EQ(Contents(table), (std::vector<int>{1, 4, 3}));  // the lowest closed slot
    EXPECT_NE(fourth, second);
    EXPECT_EQ(table.Find(second), nullptr);
    EXPECT_EQ(*table.Find(fourth), 4);
    // Until the slot's generations come round, every reuse has its own handle.
    table.Close(first);
    for (int reuse = 0; reuse < 200; ++reuse) {
        HANDLE again = table.Add(5);
        EXPECT_EQ(table.Find(first), nullptr);
        table.Close(again);
    }
}

TEST(HandleTable, ASlotNotForReuseKeepsCreationOrder) {
    Kept table(HandleKind::Window);
    table.Add(1);
    HANDLE second = table.Add(2);
    table.Add(3);
    table.Close(second);
    table.Add(4);
    EXPECT_EQ(Contents(table), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(table.Find(second), nullptr);
}

TEST(HandleTable, AFullTableRefusesUntilAHandleCloses) {
    Reused table(HandleKind::RegistryKey);
    std::vector<HANDLE> handles;
    for (size_t i = 0; i < Reused::kCapacity; ++i) handles.push_back(table.Add(int(i)));
    EXPECT_EQ(table.Add(-1), nullptr);
    EXPECT_EQ(*table.Find(handles.back()), int(Reused::kCapacity - 1));
    table.Close(handles[7]);
    HANDLE reused = table.Add(-1);
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(*table.Find(reused), -1);
}

TEST(HandleTable, ObjectsStayInPlaceAsTheTableGrows) {
    Kept table(HandleKind::Window);
    const int* first = table.Find(table.Add(1));
    for (int i = 0; i < 5000; ++i) table.Add(int(i));
    EXPECT_EQ(*first, 1);
}

TEST(LockedHandleTable, AnObjectOutlivesItsHandleWhileHeld) {
    LockedHandleTable<HANDLE, std::shared_ptr<int>, SlotReuse::AfterClose> table(HandleKind::Event);
    HANDLE handle = table.Add(std::make_shared<int>(7));
    std::shared_ptr<int> held = table.Find(handle).value_or(nullptr);
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(table.Close(handle));
    EXPECT_FALSE(table.Close(handle));
    EXPECT_EQ(table.Find(handle), std::nullopt);
    EXPECT_EQ(*held, 7);
    EXPECT_EQ(held.use_count(), 1);
}

TEST(LockedHandleTable, ThreadsAddFindAndCloseTogether) {
    LockedHandleTable<HANDLE, int, SlotReuse::AfterClose> table(HandleKind::Event);
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (int round = 0; round < 2000; ++round) {
                int value = thread * 10000 + round;
                HANDLE handle = table.Add(int(value));
                if (table.Find(handle) != value || !table.Close(handle))
                    ++mismatches[size_t(thread)];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
