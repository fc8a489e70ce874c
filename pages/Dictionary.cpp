#include "pages/Dictionary.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include <sys/stat.h>

#include "core/AppState.h"
#include "core/SentenceBoard.h"
#include "core/Words.h"
#include "platform/Cp1251.h"
#include "platform/FileNames.h"

namespace lq {

void QtClipboard::SetText(const std::string& cp1251) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (QClipboard* c = QGuiApplication::clipboard()) c->setText(FromCp1251(cp1251), QClipboard::Clipboard);
}

bool DictionaryLibrary::Load(const std::string& programDir) {
    const std::string path = JoinPath(programDir, kFileName);
    struct stat st;
    if (path.empty() || path.front() != '/' || stat(path.c_str(), &st) != 0) return false;
    if (!lib_.Open(path)) return false;
    show_ = reinterpret_cast<ShowTranslFn>(lib_.Symbol("_ShowTransl"));
    hide_ = reinterpret_cast<HideTranslFn>(lib_.Symbol("_HideTransl"));
    exit_ = reinterpret_cast<ExitTranslFn>(lib_.Symbol("_ExitTransl"));
    return true;
}

void DictionaryLibrary::SetEntryPoints(ShowTranslFn show, HideTranslFn hide, ExitTranslFn exit) {
    show_ = show;
    hide_ = hide;
    exit_ = exit;
}

void DictionaryLibrary::Show(uintptr_t owner, int32_t x, int32_t y, const std::string& cp1251Word) const {
    if (show_) show_(owner, x, y, cp1251Word.c_str());
}

void DictionaryLibrary::Hide() const {
    if (hide_) hide_();
}

void DictionaryLibrary::Exit() const {
    if (exit_) exit_();
}

std::string OutsideDictionaryArgument(std::string_view word) {
    if (word.empty() || word.front() != '-') return std::string(word);
    std::string arg = "goldendict://";
    for (char c : word) {
        if (c == '%') arg += "%25";
        else if (c == '/') arg += "%2F";
        else arg += c;
    }
    return arg;
}

void SyntheticCtrlGuard::Arm(uint32_t nowMs) {
    armed_ = true;
    armedAt_ = nowMs;
}

DictionaryLookup::DictionaryLookup(DictionaryPorts ports, const DictionaryLibrary& library, Normalizer normalize)
    : ports_(ports), library_(library), normalize_(std::move(normalize)) {
    if (!normalize_) normalize_ = [](std::string_view word) { return NormalizeWord(word); };
}

void DictionaryLookup::Lookup(const SentenceBoard& board, int selectedTile, int translater, QPoint boardScreenOrigin,
                              uintptr_t owner, LearnState& state, uint32_t nowMs) {
    if (selectedTile < 0 || selectedTile >= board.WordTileCount()) return;
    const WordTile& tile = board.WordTiles[static_cast<size_t>(selectedTile)];

    if (ports_.clipboard) ports_.clipboard->SetText(tile.Text);

    if (translater == 0) {
        // One argument vector element, never a shell command line.
        if (ports_.launcher) {
            const std::string arg = OutsideDictionaryArgument(tile.Text);
            ports_.launcher->StartDetached(outsideProgram_, {QFile::encodeName(FromCp1251(arg)).toStdString()});
        }
        return;
    }
    if (translater == 2) {
        if (!library_.HasShow()) return;
        const std::string word = normalize_(tile.Text);
        library_.Show(owner, boardScreenOrigin.x() + tile.Left + tile.Width, boardScreenOrigin.y() + tile.Top, word);
        return;
    }

    state.ShortcutsSuspended = true;
    if (!ports_.keys) return;
    if (ports_.keys->Send(SynthKey::ControlLeft, true)) guard_.Arm(nowMs);
    ports_.keys->Send(SynthKey::C, true);
    ports_.keys->Send(SynthKey::C, false);
    ports_.keys->Send(SynthKey::C, true);
    ports_.keys->Send(SynthKey::C, false);
    ports_.keys->Send(SynthKey::ControlLeft, false);
    ports_.keys->Flush();
}

}  // namespace lq
