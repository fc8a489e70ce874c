#include "app/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcApp, "lq.app")

}  // namespace lq
