// The progress of a long transfer as "<n>% complete": shown each time the
// figure changes. On a console that can move its cursor the figure rewrites
// itself in place; where it cannot (output redirected) each new figure
// follows the last on the same line.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace partam {

class ProgressFigure {
public:
    // consoleOnly: shown only where it rewrites itself in place, so that
    // redirected output holds no figure at all.
    explicit ProgressFigure(Platform& platform, bool consoleOnly = false)
        : platform_(platform), consoleOnly_(consoleOnly) {}
    void Show(long percent);

    // The figure of a transfer that has done `done` of the sectors up to
    // `last`, the number of its last sector: (done + 1) x 100 / last, within
    // 1 to 100, and 100 once the last sector is done.
    static long Percent(std::uint64_t done, std::uint64_t last, bool finished);

private:
    Platform& platform_;
    bool consoleOnly_ = false;
    bool started_ = false;
    bool inPlace_ = false;
    long shown_ = -1;
};

// Transfers that run up to a last sector number below this show no figure.
inline constexpr std::uint64_t kProgressFromLastSector = 13001;

}  // namespace partam
