#include "support/images.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/crc32.h"
#include "base/endian.h"

namespace partam::test {

Bytes MakeMbr(const std::vector<EntrySpec>& slots, std::uint32_t diskSignature, bool bootSignature,
              bool bootCode) {
    Bytes s(512, 0);
    if (bootCode) s[0] = 0x33, s[1] = 0xC0;
    StoreLe32(&s[440], diskSignature);
    for (std::size_t slot = 0; slot < slots.size() && slot < 4; ++slot) {
        std::uint8_t* e = &s[446 + 16 * slot];
        e[0] = slots[slot].status, e[4] = slots[slot].type;
        StoreLe32(e + 8, slots[slot].start), StoreLe32(e + 12, slots[slot].sectors);
    }
    if (bootSignature) s[510] = 0x55, s[511] = 0xAA;
    return s;
}

Bytes WithFat16BootSector(Bytes s) {
    const std::uint8_t fields[] = {0xEB, 0x3C, 0x90, 'm',  'k',  'f',  's',  '.',  'f',  'a',  't', 0x00,
                                   0x02, 0x04, 0x04, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0x40};
    std::copy(std::begin(fields), std::end(fields), s.begin());
    s[38] = 0x29;
    std::copy_n("FAT16   ", 8, s.begin() + 54);
    return s;
}

Bytes MakeGpt(std::uint64_t sectors, const std::vector<GptEntrySpec>& entries) {
    Bytes image(sectors * 512, 0);
    PutSector(image, 0,
              MakeMbr({{0, 0xEE, 1,
                        static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors - 1, 0xFFFFFFFF))}}));
    Bytes array(128 * 128, 0);
    for (std::size_t i = 0; i < entries.size() && i < 128; ++i) {
        std::uint8_t* e = &array[i * 128];
        std::copy(entries[i].type.begin(), entries[i].type.end(), e);
        StoreLe64(e + 32, entries[i].first);
        StoreLe64(e + 40, entries[i].last);
        e[48] = entries[i].attributes;
    }
    const auto header = [&](std::uint64_t at, std::uint64_t other, std::uint64_t arrayAt) {
        std::uint8_t* h = &image[at * 512];
        std::copy_n("EFI PART", 8, h);
        StoreLe32(h + 8, 0x10000);
        StoreLe32(h + 12, 92);
        StoreLe64(h + 24, at);
        StoreLe64(h + 32, other);
        StoreLe64(h + 40, 34);
        StoreLe64(h + 48, sectors - 34);
        for (int i = 0; i < 16; ++i) h[56 + i] = static_cast<std::uint8_t>(0x10 + i);
        StoreLe64(h + 72, arrayAt);
        StoreLe32(h + 80, 128);
        StoreLe32(h + 84, 128);
        StoreLe32(h + 88, Crc32(array.data(), array.size()));
        StoreLe32(h + 16, Crc32(h, 92));
        std::copy(array.begin(), array.end(), image.begin() + static_cast<std::ptrdiff_t>(arrayAt * 512));
    };
    header(1, sectors - 1, 2);
    header(sectors - 1, 1, sectors - 33);
    return image;
}

void PutSector(Bytes& image, std::uint64_t lba, const Bytes& sector) {
    const std::uint64_t offset = lba * 512;
    if (image.size() < offset + 512) image.resize(offset + 512, 0);
    std::copy(sector.begin(), sector.begin() + 512, image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string DiffSectors(const Bytes& expected, const Bytes& actual, std::uint64_t lba, std::uint32_t count) {
    // Each 16-byte row that differs, as "sector <n> +<offset>" and both rows
    // in hexadecimal ("--" past an image's end).
    const auto hex = [](const Bytes& b, std::uint64_t i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i < b.size() ? "%02X " : "-- ", i < b.size() ? b[i] : 0);
        return std::string(buf);
    };
    std::string out;
    for (std::uint64_t row = lba * 512; row < (lba + count) * 512; row += 16) {
        std::string e, a;
        for (std::uint64_t i = row; i < row + 16; ++i) e += hex(expected, i), a += hex(actual, i);
        if (e != a)
            out += "sector " + std::to_string(row / 512) + " +" + std::to_string(row % 512) +
                   "\n  expected " + e + "\n  actual   " + a + "\n";
    }
    return out;
}

}  // namespace partam::test
