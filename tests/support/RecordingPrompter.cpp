#include "tests/support/RecordingPrompter.h"

namespace lq::test {

RecordingPrompter::RecordingPrompter() { SetAppPrompter(this); }
RecordingPrompter::~RecordingPrompter() { SetAppPrompter(nullptr); }

MsgResult RecordingPrompter::Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) {
    messages.push_back({text, caption, icon, buttons});
    if (!answers.empty()) {
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

}  // namespace lq::test
