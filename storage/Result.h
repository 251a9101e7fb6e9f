#pragma once

#include <string>
#include <utility>
#include <variant>

namespace qv {

// An error value: errno-style code (0 when none applies) and a text for logs and tests.
struct Error {
    int code = 0;
    std::string message;
};

// Error code of a rewrite given up because another program changed the area's header file while
// it ran; nothing was committed. Outside the errno range so it is never confused with one.
inline constexpr int kChangedMeanwhile = 0x10000;
// Error code of a change refused because rows it was given no longer hold what was shown.
inline constexpr int kRowsChanged = 0x10001;
// Error code of an undo or redo refused because the area no longer holds what the step left.
inline constexpr int kChangedSinceStep = 0x10002;

// A value or an error; storage never throws for bad input or failed I/O.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::move(error))
    {
    }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    const Error& error() const { return std::get<1>(m_state); }
    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_ok(false)
        , m_error(std::move(error))
    {
    }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const Error& error() const { return m_error; }

private:
    bool m_ok = true;
    Error m_error;
};

} // namespace qv
