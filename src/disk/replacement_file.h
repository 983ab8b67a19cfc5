// A file that takes the place of another only once it is whole.
#pragma once

#include <string>

#include "disk/sector_file.h"
#include "platform/platform.h"

namespace partam {

// Written under a name of its own beside the target (in its folder, so that
// the rename stays on one file system) and renamed over the target when
// finished. The new name is created, never opened: a file or a link that
// someone put there under it is not written through. A file that is not
// finished is removed, and the target stays as it was.
class ReplacementFile {
public:
    ReplacementFile(Platform& platform, std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file for writing; false when the folder takes none.
    bool Create();
    SectorFile& File() { return file_; }
    // Closes the file and renames it over the target; with sync, what was
    // written, and then the new name, are on the medium before it returns
    // (a safety copy must be; a save of gigabytes need not wait for them,
    // as a copy by other tools does not). With a previous name, a file the
    // target names becomes that one first (replacing what it named).
    bool Finish(bool sync, const std::string& previous = {});

private:
    Platform& platform_;
    std::string target_;
    std::string path_;
    SectorFile file_;
    bool created_ = false;
    bool finished_ = false;
};

}  // namespace partam
