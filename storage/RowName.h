#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace qv {

// The name a row shows, as board bytes. The rows of one load share blocks of text (NameBlocks),
// so loading 100,000 entries does not allocate and free a string for each; a name set on its own
// holds a block of its own. Copies share the block, which is never written once a row points
// into it.
class RowName {
public:
    RowName() = default;
    RowName(std::string_view text) // NOLINT(google-explicit-constructor): rows take names as text
        : RowName(made(text.size(), [&](char* out) { std::memcpy(out, text.data(), text.size()); }))
    {
    }
    // A name of size bytes in a block of its own, which fill(char*) writes before anything shares it.
    template <class Fill> static RowName made(size_t size, Fill fill)
    {
        RowName n;
        if (size == 0)
            return n;
        auto own = std::make_shared_for_overwrite<char[]>(size);
        fill(own.get());
        n.m_at = own.get();
        n.m_size = uint32_t(size);
        n.m_block = std::move(own);
        return n;
    }
    RowName(const std::string& text)
        : RowName(std::string_view(text))
    {
    }
    RowName(const char* text)
        : RowName(std::string_view(text))
    {
    }
    // A name in a block that outlives every row, such as a literal.
    static RowName lasting(std::string_view text)
    {
        RowName n;
        n.m_at = text.data();
        n.m_size = uint32_t(text.size());
        return n;
    }
    RowName(std::shared_ptr<const char[]> block, const char* at, size_t size)
        : m_block(std::move(block))
        , m_at(at)
        , m_size(uint32_t(size))
    {
    }

    // Lets go of a shared block (for a row kept long after the rest of its load).
    void detach()
    {
        if (m_block)
            *this = RowName(view());
    }

    RowName(const RowName&) = default;
    RowName& operator=(const RowName&) = default;
    // A name moved from is empty, not pointing into a block it no longer keeps.
    RowName(RowName&& other) noexcept
        : m_block(std::move(other.m_block))
        , m_at(std::exchange(other.m_at, ""))
        , m_size(std::exchange(other.m_size, 0))
    {
    }
    RowName& operator=(RowName&& other) noexcept
    {
        m_block = std::move(other.m_block);
        m_at = std::exchange(other.m_at, "");
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }

    std::string_view view() const { return { m_at, m_size }; }
    operator std::string_view() const { return view(); } // NOLINT(google-explicit-constructor)
    std::string str() const { return std::string(view()); }
    const char* data() const { return m_at; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    friend bool operator==(const RowName& a, const RowName& b) { return a.view() == b.view(); }
    friend bool operator==(const RowName& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const RowName& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const RowName& a, const char* b) { return a.view() == b; }
    friend auto operator<=>(const RowName& a, const RowName& b) { return a.view() <=> b.view(); }

private:
    std::shared_ptr<const char[]> m_block;
    const char* m_at = "";
    uint32_t m_size = 0;
};

// Where one thread of a load puts the names of its rows: blocks handed to the rows whose names
// they hold. Not shared between threads.
class NameBlocks {
public:
    // Room for size bytes of one name; the RowName of it is made by name() once they are written.
    char* room(size_t size);
    RowName name(const char* at, size_t size) const { return RowName(m_block, at, size); }
    // expected is a guess at the bytes the names of a load will need.
    explicit NameBlocks(size_t expected)
        : m_planned(expected)
        , m_next(expected)
    {
    }

private:
    std::shared_ptr<const char[]> m_block;
    char* m_free = nullptr;
    size_t m_left = 0;
    size_t m_planned; // bytes of the guess no block holds yet
    size_t m_next; // the size of blocks once the guess is used up
};

} // namespace qv
