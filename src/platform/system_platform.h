// The platform of the machine the program runs on.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace partam {

std::unique_ptr<Platform> CreateSystemPlatform();

}  // namespace partam
