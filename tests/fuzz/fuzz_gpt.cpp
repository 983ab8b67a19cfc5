// The GPT: the primary header, the backup it points to and the entry array,
// each partition's filesystem recognised from its first sectors. See
// fuzz_input.h for the input.
#include "fs/file_system.h"
#include "fuzz/fuzz_input.h"
#include "gpt/gpt_disk.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::SparseDisk disk(data, size);
    TableSource source;
    source.read = disk.Reader();
    source.sector0 = disk.At(0);
    source.totalSectors = disk.TotalSectors();
    const FileSystemNamer namer = [&disk](std::uint64_t start) {
        std::array<std::uint8_t, kRecognitionSectors * kSectorSize> bytes{};
        for (std::uint32_t i = 0; i < kRecognitionSectors; ++i)
            if (!disk.Read(start + i, &bytes[i * kSectorSize])) return NamedFileSystem{};
        const FileSystemCode code = RecognizeBytes(bytes);
        return NamedFileSystem{static_cast<std::uint32_t>(code), FileSystemName(code)};
    };
    const std::unique_ptr<GptDisk> gpt = ReadGpt(source, namer);
    gpt->DiskGuidText();
    // Only entries that were read become partitions.
    if (gpt->Partitions().size() > std::size_t{kMaxGptEntries}) __builtin_trap();
    return 0;
}
