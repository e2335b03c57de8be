#pragma once

#include <memory>
#include <vector>

#include "backends/ReadingBackend.h"

namespace kotobane {

// The back-ends whose data is installed on this machine, in the stable
// order in which the catalogue lists them. Missing data is skipped quietly.
std::vector<std::unique_ptr<ReadingBackend>> CreateInstalledBackends();

}  // namespace kotobane
