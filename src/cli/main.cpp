#include "cli/run.h"
#include "platform/system_platform.h"

int main(int argc, char** argv) {
    auto platform = partam::CreateSystemPlatform();
    int result = partam::RunProgram(*platform, argc, argv);
#ifndef _WIN32
    // A Linux exit status holds 8 bits. A code it cannot carry must not wrap
    // round to another code, or to 0: 512 would read as success. Such codes
    // end with 255; the message line and /result show the whole code.
    if (result < 0 || result > 255) result = 255;
#endif
    return result;
}
