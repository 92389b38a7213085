#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

namespace tonequill {

// The bytes of one stored event. Channel events and most meta events are a
// few bytes long: up to 8 are kept inside the record itself, so a song of a
// million notes costs no allocation per event; longer ones (texts, names)
// get a buffer of their own. Reads like a std::vector<uint8_t>.
class EventBytes {
public:
    using value_type = uint8_t;
    using size_type = std::size_t;
    using const_iterator = const uint8_t*;
    using iterator = const uint8_t*;

    EventBytes() = default;
    EventBytes(std::initializer_list<uint8_t> bytes) { assign(bytes.begin(), bytes.size()); }
    explicit EventBytes(std::span<const uint8_t> bytes) { assign(bytes.data(), bytes.size()); }
    // The first `head` bytes from one place and the rest from another.
    EventBytes(std::span<const uint8_t> head, std::span<const uint8_t> rest) { fill(head, rest); }
    EventBytes(const EventBytes& other) { assign(other.data(), other.size()); }
    EventBytes(EventBytes&& other) noexcept { take(other); }
    EventBytes& operator=(const EventBytes& other) {
        if (this != &other) {
            release();
            assign(other.data(), other.size());
        }
        return *this;
    }
    EventBytes& operator=(EventBytes&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~EventBytes() { release(); }

    // Replaces the bytes in place. The reader fills each stored event this
    // way: a short event built aside and then moved would be written byte by
    // byte and read back as one word, which stalls the processor.
    void assign(std::span<const uint8_t> head, std::span<const uint8_t> rest) {
        release();
        fill(head, rest);
    }

    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }
    [[nodiscard]] const uint8_t* data() const { return isInline() ? store_ : heap(); }
    [[nodiscard]] const uint8_t* begin() const { return data(); }
    [[nodiscard]] const uint8_t* end() const { return data() + size_; }
    const uint8_t& operator[](std::size_t i) const { return data()[i]; }

    operator std::vector<uint8_t>() const { return {begin(), end()}; }  // NOLINT: reads like the vector it replaces

    friend bool operator==(const EventBytes& a, const EventBytes& b) {
        return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator==(const EventBytes& a, const std::vector<uint8_t>& b) {
        return a.size_ == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    static constexpr std::size_t kInline = 8;

    [[nodiscard]] bool isInline() const { return size_ <= kInline; }
    [[nodiscard]] uint8_t* heap() const {
        uint8_t* pointer = nullptr;
        std::memcpy(&pointer, store_, sizeof pointer);
        return pointer;
    }
    uint8_t* allocate(std::size_t size) {
        size_ = static_cast<uint32_t>(size);
        if (isInline()) return store_;
        auto* buffer = new uint8_t[size];
        // cppcheck-suppress uninitdata ; the pointer itself is stored, not what it points to
        std::memcpy(store_, &buffer, sizeof buffer);
        return buffer;
    }
    void fill(std::span<const uint8_t> head, std::span<const uint8_t> rest) {
        uint8_t* to = allocate(head.size() + rest.size());
        if (!head.empty()) std::memcpy(to, head.data(), head.size());
        if (!rest.empty()) std::memcpy(to + head.size(), rest.data(), rest.size());
    }
    void assign(const uint8_t* bytes, std::size_t size) {
        uint8_t* to = allocate(size);
        if (size > 0) std::memcpy(to, bytes, size);
    }
    void take(EventBytes& other) {
        size_ = other.size_;
        std::memcpy(store_, other.store_, kInline);
        other.size_ = 0;
    }
    void release() {
        if (!isInline()) delete[] heap();
        size_ = 0;
    }

    uint32_t size_ = 0;
    uint8_t store_[kInline] = {};
};

static_assert(sizeof(EventBytes) == 12);

}  // namespace tonequill
