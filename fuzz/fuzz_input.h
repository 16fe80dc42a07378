// Reads a fuzz input as a few fixed-width numbers followed by NUL-separated
// texts; what runs out reads as zero or as an empty text.
#ifndef INSTALATOR_FUZZ_INPUT_H
#define INSTALATOR_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    // Little-endian, `bytes` wide.
    uint32_t Number(size_t bytes)
    {
        uint32_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value |= (uint32_t)Byte() << (8 * i);
        return value;
    }

    // The bytes up to the next NUL (which is consumed) or the end.
    std::string Text()
    {
        std::string text;
        while (offset_ < size_ && data_[offset_] != 0)
            text += (char)data_[offset_++];
        if (offset_ < size_)
            ++offset_;
        return text;
    }

    // Every byte that is left, NULs included.
    std::string Rest()
    {
        std::string rest((const char *)data_ + offset_, size_ - offset_);
        offset_ = size_;
        return rest;
    }

private:
    uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }

    const uint8_t *data_;
    size_t size_;
    size_t offset_ = 0;
};

#endif
