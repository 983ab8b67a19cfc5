// Writing a GPT backup file back to a GPT disk.
#pragma once

#include <string>

#include "disk/disk.h"
#include "gpt/gpt_disk.h"

namespace partam {

// The file must hold a header of kind GPT (205) whose data is a protective
// MBR and a GPT header (200) with its entry array; they are written back,
// and the disk's backup GPT is made to agree with them. 204 and 203 when
// the file cannot be opened or read; 202 when a write fails. The result is
// the GPT's error state.
int RestoreGpt(mDisk& disk, GptDisk& gpt, const std::string& path);

// The sectors /save=gpt saves: from sector 0 to the end of the entry array;
// 0 when that is more than MaxGptBackupSectors.
std::uint32_t GptBackupSectors(GptDisk& gpt);
// The most sectors a GPT backup holds: the protective MBR, the header and
// the largest entry array right after it. A GPT whose array lies further on
// is not saved, since no restore would take the file.
std::uint32_t MaxGptBackupSectors();

}  // namespace partam
