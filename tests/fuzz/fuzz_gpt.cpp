// The GPT: both copies read and checked, the partitions taken from the one
// that passed, each partition's filesystem recognised from its first
// sectors. See fuzz_input.h for the input.
#include "fs/file_system.h"
#include "fuzz/fuzz_input.h"
#include "gpt/gpt_disk.h"
#include "report/verify.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::SparseDisk disk(data, size);
    fuzz::SparseDevice device(disk);
    TableSource source;
    source.read = disk.Reader();
    source.readRun = [&device](std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer) {
        return device.ReadSectors(buffer, lba, count);
    };
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
    for (const GptCopy* copy : {&gpt->Copies().primary, &gpt->Copies().backup}) {
        for (const auto* findings : {&copy->headerFindings, &copy->entryFindings})
            for (const GptFinding& f : *findings)
                if (GptFindingText(f).empty()) __builtin_trap();
        // A copy that passed holds its whole entry array, and nothing else
        // does.
        const std::size_t whole = std::size_t{copy->header.EntrySectors()} * kSectorSize;
        if (copy->Passes() && (copy->entries.size() != whole || copy->header.EntryCount() > kMaxGptEntries))
            __builtin_trap();
    }
    // Partitions come only from a copy that passed, and a write starts only
    // from one.
    if ((gpt->Basis() == nullptr) != (gpt->WriteRefusal() != 0)) __builtin_trap();
    if (!gpt->Basis() && !gpt->Partitions().empty()) __builtin_trap();
    const GptHeader primary = gpt->PrimaryHeader();
    if (gpt->Basis() && !CheckGptHeader(primary, GptCopyKind::Primary, 1, source.totalSectors).empty())
        __builtin_trap();

    // The verifier reads the same copies; whatever they hold, it only reads.
    VerifiedDisk verified;
    verified.read = source.read;
    verified.readRun = source.readRun;
    verified.sector0 = source.sector0;
    verified.totalSectors = source.totalSectors;
    VerifyGpt(verified);
    VerifyProtectiveMbr(verified);
    return 0;
}
