#include "core/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcCore, "lq.core")

}  // namespace lq
