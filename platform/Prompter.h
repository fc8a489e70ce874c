#pragma once
// Message boxes behind an interface: the program shows them (ui/QtPrompter.h, installed by the
// entry), tests record and answer. Without a display the text goes to standard error and the
// default answer is taken.
#include <QString>
#include <vector>

namespace lq {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MsgResult Show(const QString& text, const QString& caption, MsgIcon icon,
                           MsgButtons buttons = MsgButtons::Ok) = 0;
};

// The text as one line "caption: text" on standard error; the default answer (a yes/no question
// is answered "no"). The message boxes themselves are the widget layer's (ui/QtPrompter.h).
class StderrPrompter final : public Prompter {
public:
    MsgResult Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override;
};

// The process-wide prompter: the one set last, or a StderrPrompter when none is set.
Prompter& AppPrompter();
void SetAppPrompter(Prompter* prompter);  // nullptr restores the StderrPrompter

// True when widgets can really be shown (a QApplication on a platform other than "offscreen"/"minimal").
bool HaveDisplay();

}  // namespace lq
