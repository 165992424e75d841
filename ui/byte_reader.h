// The one way the resource readers touch bytes: little-endian reads that turn an overrun into a
// failed state instead of reading past the end.
#pragma once

#include "ui/resource_reader.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace cyclara {

// Little-endian reads over a byte span that turn an overrun into a failed state instead of
// reading past the end; callers test Ok() once after a group of reads.
class ByteReader {
  public:
    // A start past the data (an offset that a corrupted header gives) reads nothing.
    explicit ByteReader(Bytes bytes, size_t offset = 0)
        : m_bytes(bytes), m_offset(std::min(offset, bytes.size())), m_ok(offset <= bytes.size()) {}

    bool Ok() const { return m_ok; }
    size_t Offset() const { return m_offset; }
    bool AtEnd() const { return m_offset >= m_bytes.size(); }

    uint8_t U8() { return Has(1) ? m_bytes[m_offset++] : 0; }
    uint16_t U16() {
        const uint16_t low = U8();
        return static_cast<uint16_t>(low | U8() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    int16_t I16() { return static_cast<int16_t>(U16()); }

    std::u16string Sz() {
        std::u16string text;
        for (char16_t ch; m_ok && (ch = U16()) != 0;) {
            text.push_back(ch);
        }
        return text;
    }

    // A field that is empty (0), an ordinal (0xFFFF then a number) or a string.
    void SzOrOrdinal(uint16_t& ordinal, std::u16string& name) {
        ordinal = 0;
        name.clear();
        const size_t start = m_offset;
        const uint16_t first = U16();
        if (first == 0xFFFF) {
            ordinal = U16();
        } else if (first != 0) {
            m_offset = start;
            name = Sz();
        }
    }

    Bytes Take(size_t count) {
        if (!Has(count)) {
            return {};
        }
        const Bytes taken = m_bytes.subspan(m_offset, count);
        m_offset += count;
        return taken;
    }

    void Skip(size_t count) { Take(count); }
    // Padding may run to the end of the data: what follows it is what gets checked.
    void AlignTo4() { m_offset = std::min(m_offset + (4 - m_offset % 4) % 4, m_bytes.size()); }

  private:
    bool Has(size_t count) {
        if (!m_ok || count > m_bytes.size() - m_offset) {
            m_ok = false;
            return false;
        }
        return true;
    }

    Bytes m_bytes;
    size_t m_offset;  // never past the data, so the bounds arithmetic cannot wrap
    bool m_ok;
};

}  // namespace cyclara
