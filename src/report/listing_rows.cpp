// The rows of the listing: partitions, GPT entries, free space, and the code
// page table.
#include <cinttypes>
#include <cstdarg>

#include "base/text.h"
#include "report/listing.h"

namespace partam {

namespace {

std::uint32_t Low32(std::uint64_t value) { return static_cast<std::uint32_t>(value & 0xFFFFFFFFu); }

// The disk answers a blank for a partition it does not have: that is no
// letter either.
std::string LetterText(char letter) {
    return letter != 0 && letter != ' ' ? Format("%c:", letter) : std::string("  ");
}

const char* YesNo(bool yes) { return yes ? "Yes" : "No "; }

void ShowBackupRow(ReportContext& report, const mPart& p) {
    report.Printf("\n  %-2u  %-2u %-2.2X-%-7.7s %s  %-3.3s    %-3.3s  %s  %s", p.position, p.slot + 1, p.type,
                  p.typeName.c_str(), ShortSize(p.bytes).c_str(), YesNo(p.active != 0), YesNo(p.hidden != 0),
                  GroupedNumber(Low32(p.start), 14).c_str(), GroupedNumber(Low32(p.sectors), 15).c_str());
}

}  // namespace

void ReportContext::Printf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    platform.Write(FormatV(format, args));
    va_end(args);
}

std::string DriveLetterText(ReportContext& report, int number) {
    if (report.disk.IsVirtual()) return "NA";
    return LetterText(report.disk.DriveLetterOf(number));
}

void ShowPartitionRow(ReportContext& report, int number, const mPart& p, int mode) {
    if (mode == 1) {
        ShowBackupRow(report, p);
        return;
    }
    const std::string label = p.volumeLabel.empty() ? "<None>" : p.volumeLabel;
    std::string index = "- ";
    // A logical partition's lead ("L" and its place in the chain) takes the
    // same five columns as a primary's position and its two blanks.
    const char* lead = number > 9 ? "L%-2u  " : " L%-2u ";
    if (p.isPrimary) {
        index = Format("%-2u", p.slot + 1);
        lead = " %-2u  ";
    }
    const std::string letter = report.disk.IsVirtual() ? std::string("NA") : LetterText(p.driveLetter);
    report.Printf("%s", report.frame.side.c_str());
    report.Printf(lead, p.position);
    report.Printf("%s %-2.2X-%-6.6s %s %-4.4s  %-3.3s  %s %s %s %-11.11s%s\n", index.c_str(), p.type,
                  p.typeName.c_str(), ShortSize(p.bytes).c_str(), p.active ? " Yes" : " No",
                  YesNo(p.hidden != 0), GroupedNumber(Low32(p.start), 14).c_str(),
                  GroupedNumber(Low32(p.sectors), 15).c_str(), letter.c_str(), label.c_str(),
                  report.frame.side.c_str());
}

void ShowGptRow(ReportContext& report, int number, const GptRow& e) {
    const std::string letter = DriveLetterText(report, number);
    report.Printf("%s%2u  %-19.19s  %-5.5s %13" PRIu64 " %4.4s %s %s %s %s %s %-9.9s%s\n",
                  report.frame.side.c_str(), static_cast<unsigned>(number), e.description.c_str(),
                  e.fileSystem.c_str(), e.start, ShortSize(e.bytes).c_str(), " No ", YesNo(e.attributes != 0),
                  " No ", "", letter.c_str(), e.volumeLabel.c_str(), report.frame.side.c_str());
}

void ShowFreeSpaceRow(ReportContext& report, std::uint64_t start, std::uint64_t count) {
    const char* side = report.frame.side.c_str();
    report.Printf("%s Freespace        %s            %s %s               %s\n", side,
                  ShortSize(count * 512).c_str(), GroupedNumber(start, 14).c_str(),
                  GroupedNumber(count, 15).c_str(), side);
}

void ShowCodePageTable(ReportContext& report) {
    report.Printf("\nCodepage= %u\n", static_cast<unsigned>(report.platform.OutputCodePage()));
    for (int group = 0; group < 256; group += 8) {
        // Codes 8 to 15 would move the cursor and clear the screen: their
        // line stays empty.
        if (group != 8) {
            std::string line;
            for (int code = group; code < group + 8; ++code) {
                line += Format("%3d ", code);
                line += static_cast<char>(code);
                line += "    ";
            }
            report.platform.Write(line);
        }
        report.platform.Write("\n");
    }
    report.platform.Write("\n");
}

}  // namespace partam
