#pragma once
// The log category of the lesson modules, "lq.modules".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.modules.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcModules)

}  // namespace lq
