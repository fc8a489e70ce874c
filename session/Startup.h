#pragma once
// What the start-up and the shut-down ask of the windows. The session runs both in their order
// (Session::Start, Session::Shut) and calls these views at their steps; the main window is the
// program's view, tests give their own.
namespace lq {

struct CommonSettings;
struct WindowsToSave;

// The status lines of the start-up, in their order.
inline constexpr const char* kStatusOpeningFiles = "Opening files...";
inline constexpr const char* kStatusReadingSentences = "Reading sentences & indexes...";
inline constexpr const char* kStatusReadingAnswers = "Reading answers & sounds...";
inline constexpr const char* kStatusPreparingSound = "Preparing first sound...";
inline constexpr const char* kStatusReadingStatistics = "Reading statistics...";

class StartupView {
public:
    virtual ~StartupView() = default;
    // The welcome window with the version and the line "Opening files...", painted at once.
    virtual void OpenWelcome() = 0;
    // A further status line; `paint` false: added now and painted with the next one.
    virtual void StatusLine(const char* line, bool paint) = 0;
    // The tile and text colours and the drawing surfaces.
    virtual void PrepareDrawing() = 0;
    // The score graph's scales, from the (pruned) history.
    virtual void ShowGraphScales() = 0;
    // The settings just read: the main window placed at `left`, `top`; the controls that show them.
    virtual void ShowSettings(const CommonSettings& settings, int left, int top) = 0;
    // The row count of the word statistics (LearnState::WordStatCount) in its grid.
    virtual void ShowWordStatCount() = 0;
    // The typing edits moved out of sight.
    virtual void ParkTypingEdits() = 0;
    // The current sentence's pictures.
    virtual void LoadPictures() = 0;
    // The Learn page made the active page.
    virtual void ShowLearnPage() = 0;
    // The welcome window closed and gone.
    virtual void CloseWelcome() = 0;
};

class ShutdownView {
public:
    virtual ~ShutdownView() = default;
    // The windows' keys for the settings file (the main window's place; the pictures, comments
    // and recorder windows' geometry where it is to be kept). A recording under way ends here.
    virtual void CollectGeometry(WindowsToSave& windows) = 0;
    // Playing stops, once the sound thread has ended.
    virtual void StopPlaying() = 0;
};

}  // namespace lq
