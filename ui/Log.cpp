#include "ui/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcUi, "lq.ui")

}  // namespace lq
