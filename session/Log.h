#pragma once
// The log category of the session (start-up and shut-down), "lq.session".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.session.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcSession)

}  // namespace lq
