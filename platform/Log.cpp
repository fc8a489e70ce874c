#include "platform/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcPlatform, "lq.platform")

}  // namespace lq
