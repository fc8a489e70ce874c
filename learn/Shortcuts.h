#pragma once
// The Learn page's keyboard shortcuts: Enter runs Next when the sentence is solved, Ctrl runs it
// while Next is enabled, Alt places the hovered tile after the answer. They act only on the Learn
// page and while the shortcuts are not suspended.
namespace lq {

enum class ShortcutKey { Enter, Ctrl, Alt, Other };

struct ShortcutState {
    bool onLearnPage = false;
    bool suspended = false;    // ShortcutsSuspended
    bool solved = false;       // SentenceSolved
    bool nextEnabled = false;  // NextBtn enabled
    int selectedTile = -1;
    bool autoRepeat = false;   // a held key's repeat
    bool ctrlBlocked = false;  // a Ctrl the program synthesised itself
};

struct ShortcutAction {
    bool runNext = false;
    bool placeWord = false;
    bool swallow = false;  // the key does not reach the focused control
};

// Enter is always swallowed on the Learn page; Ctrl never is; Alt always is, and its repeats do
// not walk the tile further along the row.
inline ShortcutAction DecideShortcut(ShortcutKey key, const ShortcutState& s) {
    ShortcutAction a;
    if (!s.onLearnPage || s.suspended) return a;
    switch (key) {
        case ShortcutKey::Enter:
            a.runNext = s.solved;
            a.swallow = true;
            break;
        case ShortcutKey::Ctrl:
            a.runNext = s.nextEnabled && !s.ctrlBlocked;
            break;
        case ShortcutKey::Alt:
            a.placeWord = s.selectedTile != -1 && !s.autoRepeat;
            a.swallow = true;
            break;
        case ShortcutKey::Other:
            break;
    }
    return a;
}

}  // namespace lq
