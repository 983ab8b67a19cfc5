// A buffer of whole sectors for large transfers, aligned to a memory page:
// the system copies into a page-aligned buffer markedly faster, and some
// devices take direct transfers only from one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "base/endian.h"

namespace partam {

class SectorBuffer {
public:
    explicit SectorBuffer(std::size_t sectors)
        : bytes_(sectors * kSectorSize), data_(new (std::align_val_t{kAlignment}) std::uint8_t[bytes_]) {
        std::memset(data_.get(), 0, bytes_);
    }
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return bytes_; }

private:
    static constexpr std::size_t kAlignment = 4096;
    struct Free {
        void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kAlignment}); }
    };
    std::size_t bytes_;
    std::unique_ptr<std::uint8_t[], Free> data_;
};

// True when the count bytes are all zero. Comparing the bytes with
// themselves one byte on lets the library's memcmp scan them in wide words.
inline bool AllZero(const std::uint8_t* bytes, std::size_t count) {
    return count == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, count - 1) == 0);
}

}  // namespace partam
