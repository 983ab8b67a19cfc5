// The disks as JSON: what /list, /tablist and /info print with /json. The
// values come from the disk object's records, as the listing's do; the text
// of a disk that cannot be read comes from the caller.
#pragma once

#include "disk/disk.h"
#include "report/json.h"
#include "report/listing.h"

namespace partam {

// The words of a result code.
using ErrorTextOf = const char* (*)(int code);

// The disks the listing options name, chosen as the listing chooses them
// (every disk, the virtual disk file, or one disk), as an array of disk
// objects; free regions only with options.freeSpace. A disk index that
// cannot be selected or read is an object with its number and its error.
JsonValue JsonDisks(mDisk& disk, const ListingOptions& options, ErrorTextOf errorText);

// Every disk, as /info goes through them; the last stays selected.
JsonValue JsonEveryDisk(mDisk& disk, bool freeSpace, ErrorTextOf errorText);

// {"code": code, "text": text}, the text without the blanks and line ends
// around it.
JsonValue JsonError(int code, const std::string& text);

}  // namespace partam
