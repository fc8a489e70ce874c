#pragma once
// A prompter for tests: records every message and answers from a queue (default: Ok / Yes).
#include <deque>
#include <vector>

#include "platform/Prompter.h"

namespace lq::test {

class RecordingPrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString caption;
        MsgIcon icon;
        MsgButtons buttons;
    };

    // Installs itself as the process-wide prompter for its lifetime.
    RecordingPrompter();
    ~RecordingPrompter() override;

    MsgResult Show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override;

    std::vector<Message> messages;
    std::deque<MsgResult> answers;  // taken front first; when empty, Yes for questions and Ok otherwise
};

}  // namespace lq::test
