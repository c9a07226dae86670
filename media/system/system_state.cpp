#include "media/system/system_state.h"

namespace media {

SystemState systemState;

}  // namespace media
