#include "media/core/system_state.h"

namespace media {

SystemState systemState;

}  // namespace media
