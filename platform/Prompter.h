#pragma once
// Message boxes behind an interface: the program shows QMessageBox, tests record and answer.
// Without a display (offscreen platform, or no QApplication) the text goes to standard error
// and the default answer is taken.
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

// QMessageBox when a real display is there; standard error otherwise (a yes/no question is then
// answered "no").
class QtPrompter final : public Prompter {
public:
    MsgResult Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override;
};

// The process-wide prompter (a QtPrompter unless a test or the entry sets another).
Prompter& AppPrompter();
void SetAppPrompter(Prompter* prompter);  // nullptr restores the default

// True when widgets can really be shown (a QApplication on a platform other than "offscreen"/"minimal").
bool HaveDisplay();

}  // namespace lq
