#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace vornmark {

// A move-only callable taking no arguments and returning nothing, stored
// inline. Callables that do not fit the buffer are rejected at compile time,
// so queueing a job never allocates for the job itself (std::function would
// allocate for anything larger than two pointers).
class PoolJob {
public:
    static constexpr std::size_t capacity = 48;

    PoolJob() noexcept = default;

    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, PoolJob>>>
    PoolJob(F&& callable)  // NOLINT(google-explicit-constructor): jobs are passed as plain lambdas
    {
        using Stored = std::decay_t<F>;
        static_assert(sizeof(Stored) <= capacity, "job too large for PoolJob's inline storage");
        static_assert(alignof(Stored) <= alignof(std::max_align_t), "job alignment not supported");
        static_assert(std::is_nothrow_move_constructible_v<Stored>, "job must be nothrow movable");
        static_assert(std::is_invocable_r_v<void, Stored&>, "job must be callable without arguments");
        ::new (static_cast<void*>(storage)) Stored(std::forward<F>(callable));
        ops = &ops_for<Stored>;
    }

    PoolJob(PoolJob&& other) noexcept { take_from(other); }

    PoolJob& operator=(PoolJob&& other) noexcept {
        if (this != &other) {
            reset();
            take_from(other);
        }
        return *this;
    }

    PoolJob(const PoolJob&) = delete;
    PoolJob& operator=(const PoolJob&) = delete;

    ~PoolJob() { reset(); }

    explicit operator bool() const noexcept { return ops != nullptr; }

    void operator()() { ops->invoke(storage); }

    void reset() noexcept {
        if (ops != nullptr) {
            ops->destroy(storage);
            ops = nullptr;
        }
    }

private:
    struct Ops {
        void (*invoke)(void* self);
        void (*move_into)(void* from, void* to) noexcept;
        void (*destroy)(void* self) noexcept;
    };

    template <class T>
    static T* object(void* self) noexcept {
        return std::launder(static_cast<T*>(self));
    }

    template <class T>
    static constexpr Ops ops_for{
        [](void* self) { (*object<T>(self))(); },
        [](void* from, void* to) noexcept {
            ::new (to) T(std::move(*object<T>(from)));
            object<T>(from)->~T();
        },
        [](void* self) noexcept { object<T>(self)->~T(); },
    };

    void take_from(PoolJob& other) noexcept {
        if (other.ops != nullptr) {
            other.ops->move_into(other.storage, storage);
            ops = other.ops;
            other.ops = nullptr;
        }
    }

    alignas(std::max_align_t) unsigned char storage[capacity];
    const Ops* ops = nullptr;
};

}  // namespace vornmark
