#pragma once
// Synthesised keystrokes for dictionary programs that are reached by a hot key.
namespace lq {

enum class SynthKey { ControlLeft, C };

class KeySynth {
public:
    virtual ~KeySynth() = default;
    // Queues one key press or release; false when keystrokes cannot be synthesised here.
    virtual bool Send(SynthKey key, bool down) = 0;
    // Hands the queued keystrokes to the display server.
    virtual void Flush() = 0;
};

// The X11 XTest extension on the "xcb" platform; does nothing (returns false) on any other
// platform (Wayland, offscreen) or when the program was built without XTest.
class XTestKeySynth final : public KeySynth {
public:
    XTestKeySynth();
    ~XTestKeySynth() override;
    XTestKeySynth(const XTestKeySynth&) = delete;
    XTestKeySynth& operator=(const XTestKeySynth&) = delete;

    bool Send(SynthKey key, bool down) override;
    void Flush() override;
    bool Available() const { return display_ != nullptr; }

private:
    void* display_ = nullptr;  // Display*
};

}  // namespace lq
