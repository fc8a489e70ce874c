#pragma once
// The log category of the operating-system services, "lq.platform".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.platform.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

}  // namespace lq
