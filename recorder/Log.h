#pragma once
// The log category of the voice recorder's logic, "lq.recorder".
// Its messages are turned on and off like any Qt category's, for example with
// QT_LOGGING_RULES="lq.recorder.debug=true"; every level is on by default.
#include <QLoggingCategory>

namespace lq {

Q_DECLARE_LOGGING_CATEGORY(lcRecorder)

}  // namespace lq
