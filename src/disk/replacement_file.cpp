#include "disk/replacement_file.h"

#include "base/text.h"

namespace partam {

namespace {
// Names tried for the new file: a fixed one, then random ones beside it
// while a name is taken (another run writing the same target, or a name
// someone else put there).
constexpr int kNameAttempts = 8;
}  // namespace

ReplacementFile::ReplacementFile(Platform& platform, std::string target)
    : platform_(platform), target_(std::move(target)), file_(platform) {}

ReplacementFile::~ReplacementFile() {
    file_.Close();
    if (created_ && !finished_) platform_.RemoveFile(path_);
}

bool ReplacementFile::Create() {
    for (int attempt = 0; attempt < kNameAttempts && !created_; ++attempt) {
        path_ = target_ + ".partam-new";
        if (attempt > 0) path_ += Format("-%08X", static_cast<unsigned>(platform_.RandomNumber()));
        created_ = file_.Open(path_, kGenericWrite, kShareRead, kCreateNew, kAttributeNormal, false);
    }
    return created_;
}

bool ReplacementFile::Finish(bool sync, const std::string& previous) {
    if (!created_ || finished_) return false;
    const bool written = !sync || file_.Flush();
    file_.Close();
    if (!written) return false;
    if (!previous.empty() && platform_.PathExists(target_) && !platform_.RenameFile(target_, previous, sync))
        return false;
    finished_ = platform_.RenameFile(path_, target_, sync);
    return finished_;
}

}  // namespace partam
