#include "learn/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcLearn, "lq.learn")

}  // namespace lq
