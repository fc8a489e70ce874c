#include "pages/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcPages, "lq.pages")

}  // namespace lq
