#include "modules/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcModules, "lq.modules")

}  // namespace lq
