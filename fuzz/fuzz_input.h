// Reading a fuzz input as a stream of small fields; past the end every field
// reads as zero, so any input decodes to something.
#ifndef ZMD_FUZZ_INPUT_H
#define ZMD_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
    bool flag() { return (u8() & 1) != 0; }
    // Up to n bytes (fewer at the end of the input).
    std::vector<uint8_t> bytes(size_t n)
    {
        const size_t take = n < size_ - at_ ? n : size_ - at_;
        std::vector<uint8_t> v(data_ + at_, data_ + at_ + take);
        at_ += take;
        return v;
    }
    std::vector<uint8_t> rest() { return bytes(size_ - at_); }
    size_t left() const { return size_ - at_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// A property of the code under test that does not hold: the input is a finding.
#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);                           \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

#endif // ZMD_FUZZ_INPUT_H
