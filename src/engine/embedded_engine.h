// The built-in engine: the embedded record manager behind the engine seam.
#pragma once

#include "engine/engine_interface.h"

namespace vorlan {

EngineInterface& embeddedEngine();

}  // namespace vorlan
