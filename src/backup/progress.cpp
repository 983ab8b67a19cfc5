#include "backup/progress.h"

#include <string>

namespace partam {

void ProgressFigure::Show(long percent) {
    if (percent == shown_) return;
    if (!started_) {
        started_ = true;
        inPlace_ = platform_.SaveCursorPosition();
    } else if (inPlace_) {
        platform_.RestoreCursorPosition();
    }
    shown_ = percent;
    if (consoleOnly_ && !inPlace_) return;
    platform_.Write(std::to_string(percent) + "% complete");
}

long ProgressFigure::Percent(std::uint64_t done, std::uint64_t last, bool finished) {
    if (finished || last == 0) return 100;
    const std::uint64_t p = (done + 1) * 100 / last;
    return p < 1 ? 1 : p > 100 ? 100 : static_cast<long>(p);
}

}  // namespace partam
