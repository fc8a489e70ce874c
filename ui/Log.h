#pragma once
// The log category of the windows and pages, "lq.ui".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.ui.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcUi)

}  // namespace lq
