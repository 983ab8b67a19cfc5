// GPT backup files: the protective MBR, a primary GPT header and its entry
// array, saved from a GPT disk and written back to one.
#pragma once

#include <string>

#include "backup/backup_file.h"
#include "disk/disk.h"
#include "gpt/gpt_disk.h"

namespace partam {

// Saves sector 0 and the copy of the GPT that passed, as a primary: the
// sectors from 0 to the end of the primary's entry array, or, when only the
// backup passed, the backup turned into a primary with its entries from
// sector 2. 200 when neither copy passed or the array lies further on than
// a restore takes; what SaveSectors answers otherwise.
[[nodiscard]] int SaveGpt(mDisk& disk, GptDisk& gpt, const std::string& path, BackupKind kind,
                          bool ignoreErrors);

// Writes a GPT backup back through gpt, fitted to this disk: on a disk of
// another size than the one saved, the backup array and header at its end
// and the last usable sector where they leave it. The file must
// hold a header of kind GPT (205) and a GPT that passes every check as the
// primary of the disk it was saved from (200); a used entry that reaches
// past this disk's last usable sector is 560. Nothing is written before all
// of that holds; the protective MBR goes last, its entry fitted to the disk.
// 204 and 203 when the file cannot be opened or read; 202 when a write fails.
[[nodiscard]] int RestoreGpt(mDisk& disk, GptDisk& gpt, const std::string& path);

}  // namespace partam
