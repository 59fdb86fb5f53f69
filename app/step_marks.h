#pragma once

namespace zantor::app {

// A tape line's mark while its run is keyed in again (复核); marks are never stored.
enum class StepMark { kNone, kAgrees, kDiffers };

}  // namespace zantor::app
