#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A failed property: print what broke and abort, so libFuzzer saves the input and a replay
// test fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Reads a fuzzer's input as a sequence of small values; past the end everything reads as 0, so
// every input, however short, decodes to something.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size)
        : data(data)
        , size(size)
    { }

    bool atEnd() const { return pos >= size; }
    size_t remaining() const { return size - pos; }

    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint16_t u16()
    {
        const uint16_t low = byte();
        return uint16_t(low | (byte() << 8));
    }
    uint32_t u32()
    {
        const uint32_t low = u16();
        return low | (uint32_t(u16()) << 16);
    }
    // Up to count bytes, fewer at the end of the input.
    QByteArray bytes(size_t count)
    {
        const size_t take = count < remaining() ? count : remaining();
        QByteArray result(reinterpret_cast<const char*>(data + pos), int(take));
        pos += take;
        return result;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};
