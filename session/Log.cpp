#include "session/Log.h"

namespace lq {

Q_LOGGING_CATEGORY(lcSession, "lq.session")

}  // namespace lq
