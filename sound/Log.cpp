#include "sound/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcSound, "lq.sound")

}  // namespace lq
