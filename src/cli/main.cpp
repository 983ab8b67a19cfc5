#include "cli/run.h"
#include "platform/system_platform.h"

int main(int argc, char** argv) {
    auto platform = partam::CreateSystemPlatform();
    return partam::RunProgram(*platform, argc, argv);
}
