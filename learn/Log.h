#pragma once
// The log category of the Learn page's logic, "lq.learn".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.learn.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcLearn)

}  // namespace lq
