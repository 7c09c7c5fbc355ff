#include "engine/run_options.h"

namespace vorlan {

RunOptions runOptions;

}  // namespace vorlan
