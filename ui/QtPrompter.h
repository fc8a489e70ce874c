#pragma once
// The program's message boxes: QMessageBox when a real display is there and the call comes from
// the application's own thread; otherwise the text goes to standard error as StderrPrompter
// writes it (a yes/no question is then answered "no"). The entry installs one for the run.
#include "platform/Prompter.h"

namespace lq {

class QtPrompter final : public Prompter {
public:
    MsgResult Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override;
};

}  // namespace lq
