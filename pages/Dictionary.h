#pragma once
// Looking up a word tile in a dictionary (the Learn page's double-click). The word always goes to
// the clipboard; then, by the "Translater" setting:
//   0      the outside dictionary program "goldendict", started with the word as its one argument
//          (no shell; nothing happens when it is not installed; a word that begins with "-" goes
//          as a "goldendict://" address, see OutsideDictionaryArgument);
//   2      the product's dictionary library (pages/VORizu.h), at the tile's top-right screen point;
//   other  a dictionary program listening for the hot key "left Ctrl held, C pressed twice",
//          reached by synthesised keystrokes. ShortcutsSuspended is set first, and a guard keeps
//          the synthetic Ctrl from acting as the Learn page's Next shortcut until its key-up has
//          arrived (or half a second has passed), even if a mouse move clears the flag first.
#include <QPoint>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "pages/VORizu.h"
#include "platform/DynLib.h"
#include "platform/KeySynth.h"
#include "platform/Process.h"

namespace lq {

struct SentenceBoard;
struct LearnState;

class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual void SetText(const std::string& cp1251) = 0;
};

// The desktop clipboard (plain text).
class QtClipboard final : public TextClipboard {
public:
    void SetText(const std::string& cp1251) override;
};

// "libVORizu.so" of the program folder, loaded by absolute path and never unloaded.
class DictionaryLibrary {
public:
    static constexpr const char* kFileName = "libVORizu.so";
    // Loads ProgramDir/libVORizu.so when it is there; false (no entry points) otherwise.
    bool Load(const std::string& programDir);
    // For tests and for a library found another way.
    void SetEntryPoints(ShowTranslFn show, HideTranslFn hide, ExitTranslFn exit);

    bool HasShow() const { return show_ != nullptr; }
    void Show(uintptr_t owner, int32_t x, int32_t y, const std::string& cp1251Word) const;
    void Hide() const;  // nothing when the export is missing
    void Exit() const;

private:
    DynLib lib_;
    ShowTranslFn show_ = nullptr;
    HideTranslFn hide_ = nullptr;
    ExitTranslFn exit_ = nullptr;
};

// Keeps a synthetic Ctrl from running the Learn page's Ctrl shortcut.
class SyntheticCtrlGuard {
public:
    static constexpr uint32_t kTimeoutMs = 500;
    void Arm(uint32_t nowMs);
    // A Ctrl key release arrived: the synthetic keystrokes are through.
    void NoteCtrlReleased() { armed_ = false; }
    bool BlocksCtrl(uint32_t nowMs) const { return armed_ && nowMs - armedAt_ < kTimeoutMs; }

private:
    bool armed_ = false;
    uint32_t armedAt_ = 0;
};

// The one argument that gives the outside dictionary program the word (cp1251). A word that
// begins with "-" would be read as an option ("--help", or one of Qt's own, such as "-style"),
// and "--" does not end goldendict's options, so such a word goes as the address form that
// goldendict documents, "goldendict://WORD": goldendict removes the prefix and decodes
// %-escapes, so "%" and "/" (a "/" at either end of an address is dropped) go as "%25" and
// "%2F". Every other word goes unchanged.
std::string OutsideDictionaryArgument(std::string_view word);

struct DictionaryPorts {
    TextClipboard* clipboard = nullptr;
    ProcessLauncher* launcher = nullptr;
    KeySynth* keys = nullptr;
};

class DictionaryLookup {
public:
    static constexpr const char* kOutsideProgram = "goldendict";
    using Normalizer = std::function<std::string(std::string_view)>;

    // `normalize` defaults to NormalizeWord.
    DictionaryLookup(DictionaryPorts ports, const DictionaryLibrary& library, Normalizer normalize = {});

    // The outside dictionary program of Translater 0 (looked up in PATH when it has no '/').
    void SetOutsideProgram(std::string program) { outsideProgram_ = std::move(program); }

    // The double-click on the board. `selectedTile` is the hovered tile (-1 = none; an index that
    // is not a tile of the current board does nothing); `boardScreenOrigin` is the screen point
    // of the board's (0, 0); `owner` the main window's native id.
    void Lookup(const SentenceBoard& board, int selectedTile, int translater, QPoint boardScreenOrigin,
                uintptr_t owner, LearnState& state, uint32_t nowMs);

    // The Learn page was hidden: the library hides its window (whatever Translater holds).
    void LearnPageHidden() const { library_.Hide(); }
    // The main window closes: first step of the shut-down.
    void MainWindowClosing() const { library_.Exit(); }

    SyntheticCtrlGuard& Guard() { return guard_; }

private:
    DictionaryPorts ports_;
    const DictionaryLibrary& library_;
    Normalizer normalize_;
    std::string outsideProgram_ = kOutsideProgram;
    SyntheticCtrlGuard guard_;
};

// The desktop's ports: clipboard, detached process start, XTest keystrokes.
struct DesktopDictionaryPorts {
    QtClipboard clipboard;
    QtProcessLauncher launcher;
    XTestKeySynth keys;
    DictionaryPorts Ports() { return {&clipboard, &launcher, &keys}; }
};

}  // namespace lq
