#include "recorder/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcRecorder, "lq.recorder")

}  // namespace lq
