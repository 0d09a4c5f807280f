// The objects behind the host's handles: windows, device contexts, stock
// brushes, events and registry keys. A handle is a small number (a multiple
// of four below 2^28), never an address, and carries its kind, so a handle of
// one kind never finds an object of another. A null, closed or foreign handle
// finds nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace qoz::host {

// Each kind owns the handles kind << 24 up to (kind + 1) << 24.
enum class HandleKind : uintptr_t {
    Window = 1,
    DeviceContext,
    StockBrush,
    Event,
    RegistryKey,
};

// Never: a closed slot stays dead, so slot order is creation order.
// AfterClose: the lowest closed slot serves the next object, under a new
// handle; the closed one finds nothing until the slot's 256th reuse.
enum class SlotReuse { Never, AfterClose };

// Not thread-safe; an object keeps its address until its handle is closed.
template <typename Handle, typename Object, SlotReuse kReuse>
class HandleTable {
    static_assert(std::is_pointer_v<Handle>, "handles are opaque pointer types");

    // A handle is kind << 24 | number << 2; a reusable slot's number holds
    // how often the slot was reused above the slot itself.
    static constexpr int kKindShift = 24;
    static constexpr int kNumberBits = kKindShift - 2;
    static constexpr int kGenerationBits = kReuse == SlotReuse::AfterClose ? 8 : 0;
    static constexpr int kSlotBits = kNumberBits - kGenerationBits;

public:
    static constexpr size_t kCapacity = size_t(1) << kSlotBits;

    explicit HandleTable(HandleKind kind) : kind_(kind) {}

    // Null, the object untouched, when every slot is taken.
    Handle Add(Object&& object) {
        size_t slot = slots_.size();
        if (kReuse == SlotReuse::AfterClose && closedSlots_ > 0) {
            slot = 0;
            while (slots_[slot].object) ++slot;
            --closedSlots_;
        } else if (slot == kCapacity) {
            return nullptr;
        } else {
            slots_.emplace_back();
        }
        slots_[slot].object.emplace(std::move(object));
        uintptr_t number = (slots_[slot].generation << kSlotBits) | slot;
        return reinterpret_cast<Handle>((uintptr_t(kind_) << kKindShift) | (number << 2));
    }

    Object* Find(Handle handle) {
        std::optional<size_t> slot = SlotOf(handle);
        return slot ? &*slots_[*slot].object : nullptr;
    }
    const Object* Find(Handle handle) const {
        std::optional<size_t> slot = SlotOf(handle);
        return slot ? &*slots_[*slot].object : nullptr;
    }

    // The object taken out, so the caller decides where it is destroyed;
    // empty for a handle that finds nothing.
    std::optional<Object> Close(Handle handle) {
        std::optional<size_t> slot = SlotOf(handle);
        if (!slot) return std::nullopt;
        Slot& closing = slots_[*slot];
        std::optional<Object> object = std::move(closing.object);
        closing.object.reset();
        if constexpr (kReuse == SlotReuse::AfterClose) {
            closing.generation = (closing.generation + 1) % (uintptr_t(1) << kGenerationBits);
            ++closedSlots_;
        }
        return object;
    }

    // Every open object, in slot order.
    template <typename Visit>
    void ForEach(Visit&& visit) {
        for (Slot& slot : slots_)
            if (slot.object) visit(*slot.object);
    }

    // Forgets every object; numbering starts again.
    void Clear() {
        slots_.clear();
        closedSlots_ = 0;
    }

private:
    struct Slot {
        std::optional<Object> object;
        uintptr_t generation = 0;
    };

    std::optional<size_t> SlotOf(Handle handle) const {
        const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
        if (value % 4 != 0 || value >> kKindShift != uintptr_t(kind_)) return std::nullopt;
        const uintptr_t number = (value >> 2) % (uintptr_t(1) << kNumberBits);
        const size_t slot = number % kCapacity;
        if (slot >= slots_.size() || !slots_[slot].object) return std::nullopt;
        if (slots_[slot].generation != number >> kSlotBits) return std::nullopt;
        return slot;
    }

    HandleKind kind_;
    std::deque<Slot> slots_;  // a deque keeps objects in place as it grows
    size_t closedSlots_ = 0;
};

// The table for objects used from several threads. A lookup hands out a
// copy, since no reference into the table outlives the lock; a shared_ptr
// object stays usable while a caller holds it, even once its handle closes.
template <typename Handle, typename Object, SlotReuse kReuse>
class LockedHandleTable {
public:
    explicit LockedHandleTable(HandleKind kind) : table_(kind) {}

    Handle Add(Object&& object) {
        std::lock_guard<std::mutex> lock(mutex_);
        return table_.Add(std::move(object));
    }

    std::optional<Object> Find(Handle handle) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const Object* object = table_.Find(handle);
        if (!object) return std::nullopt;
        return *object;
    }

    // The closed object is destroyed once the lock is released.
    bool Close(Handle handle) {
        std::optional<Object> closed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed = table_.Close(handle);
        }
        return closed.has_value();
    }

private:
    mutable std::mutex mutex_;
    HandleTable<Handle, Object, kReuse> table_;
};

}  // namespace qoz::host
