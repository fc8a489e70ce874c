#include "platform/SoundPlayer.h"

#include <SDL.h>

#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Log.h"
#include "platform/SdlAudioLock.h"

namespace lq {

namespace {

class SdlSoundOutput final : public SoundOutput {
public:
    bool Init() override {
        std::lock_guard<std::mutex> lock(SdlAudioLock());
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        return SDL_Init(SDL_INIT_AUDIO) == 0;
    }
    bool Open(const SoundFormat& format) override {
        SDL_AudioSpec want{};
        want.freq = format.freq;
        want.format = format.format;
        want.channels = format.channels;
        want.samples = 1024;
        SDL_AudioSpec have{};
        std::lock_guard<std::mutex> lock(SdlAudioLock());
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts when the device differs
        return device_ != 0;
    }
    bool Queue(const uint8_t* pcm, uint32_t bytes) override {
        const bool queued = SDL_QueueAudio(device_, pcm, bytes) == 0;
        SDL_PauseAudioDevice(device_, 0);
        return queued;
    }
    void Clear() override { SDL_ClearQueuedAudio(device_); }
    uint32_t QueuedBytes() const override { return SDL_GetQueuedAudioSize(device_); }
    void Close() override {
        std::lock_guard<std::mutex> lock(SdlAudioLock());
        if (device_) SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    void Quit() override {
        std::lock_guard<std::mutex> lock(SdlAudioLock());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::string Error() const override { return SDL_GetError(); }

private:
    SDL_AudioDeviceID device_ = 0;
};

}  // namespace

std::unique_ptr<SoundOutput> MakeSdlSoundOutput() { return std::make_unique<SdlSoundOutput>(); }

struct SdlSoundPlayer::Impl {
    using Clock = std::chrono::steady_clock;

    Impl(std::unique_ptr<SoundOutput> o, std::chrono::milliseconds rest) : out(std::move(o)), restAfter(rest) {}

    const std::unique_ptr<SoundOutput> out;
    const std::chrono::milliseconds restAfter;  // how long a device stays open with nothing queued

    // Everything below, and every call of `out`, under `mutex`.
    mutable std::mutex mutex;
    std::condition_variable wake;  // a new time to look at the device, or the end
    bool triedInit = false;
    bool initialised = false;
    bool unavailable = false;  // no audio system or no device: play nothing for the rest of the run
    bool everOpened = false;
    bool open = false;
    SoundFormat openFormat;  // the format the open device was asked for
    double bytesPerMs = 0;
    std::optional<Clock::time_point> lookAt;  // when the rest thread looks whether the device is idle
    bool quit = false;
    std::thread rester;

    void ReportUnavailable(const char* what) {
        if (unavailable) return;
        unavailable = true;
        qCWarning(lcPlatform, "Sound: cannot play (%s): %s; going on without sound", what, out->Error().c_str());
    }

    bool EnsureAudio() {
        if (!triedInit) {
            triedInit = true;
            initialised = out->Init();
            if (!initialised) ReportUnavailable("no audio system");
        }
        return initialised && !unavailable;
    }

    // A device for `format`: the open one when it has that format, else a new one.
    bool EnsureDevice(const SoundFormat& format) {
        if (open && openFormat == format) return true;
        CloseDevice();
        if (!out->Open(format)) {
            // Once a device has played, a later failure (a sound server restarting) is tried
            // again at the next play.
            if (!everOpened) ReportUnavailable("no sound device");
            else qCDebug(lcPlatform, "Sound: cannot open the device: %s", out->Error().c_str());
            return false;
        }
        open = everOpened = true;
        openFormat = format;
        bytesPerMs = format.freq * format.channels * (SDL_AUDIO_BITSIZE(format.format) / 8) / 1000.0;
        if (!rester.joinable()) rester = std::thread([this] { RestLoop(); });
        return true;
    }

    void CloseDevice() {
        if (open) out->Close();
        open = false;
        lookAt.reset();
    }

    // The device is looked at `restAfter` after what is queued now should have ended.
    void LookAfterQueue() {
        const double ms = bytesPerMs > 0 ? out->QueuedBytes() / bytesPerMs : 0.0;
        lookAt = Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(ms)) + restAfter;
        wake.notify_all();
    }

    // The rest thread: closes the device once nothing has been queued for `restAfter`. It sleeps
    // without a timeout while no device is open.
    void RestLoop() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!quit) {
            if (!lookAt) {
                wake.wait(lock);
                continue;
            }
            if (Clock::now() < *lookAt) {
                wake.wait_until(lock, *lookAt);
                continue;
            }
            if (open && out->QueuedBytes() == 0) {
                CloseDevice();
                qCDebug(lcPlatform, "Sound: nothing to play; the device is closed");
            } else if (open) {
                LookAfterQueue();
            } else {
                lookAt.reset();
            }
        }
    }
};

SdlSoundPlayer::SdlSoundPlayer(std::unique_ptr<SoundOutput> output, std::chrono::milliseconds restAfter)
    : impl_(std::make_unique<Impl>(std::move(output), restAfter)) {}

SdlSoundPlayer::~SdlSoundPlayer() {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->quit = true;
        impl_->wake.notify_all();
    }
    if (impl_->rester.joinable()) impl_->rester.join();
    impl_->CloseDevice();
    if (impl_->initialised) impl_->out->Quit();
}

bool SdlSoundPlayer::Play(const uint8_t* image, size_t size, PlayMode mode) {
    // An image without samples (or no image at all) plays nothing.
    if (!image || size <= 44 || size > static_cast<size_t>(INT_MAX)) return false;
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, image + 40, 4);
    if (dataBytes == 0 || std::memcmp(image, "RIFF", 4) != 0) return false;
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (mode == PlayMode::NoStop && impl_->open && impl_->out->QueuedBytes() > 0) return false;
    if (!impl_->EnsureAudio()) return false;

    SDL_AudioSpec spec{};
    Uint8* pcm = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(image, static_cast<int>(size)), 1, &spec, &pcm, &length)) {
        qCDebug(lcPlatform, "Sound: not a playable image: %s", SDL_GetError());
        return false;
    }
    bool started = false;
    if (length > 0 && impl_->EnsureDevice({spec.freq, spec.format, spec.channels})) {
        impl_->out->Clear();
        started = impl_->out->Queue(pcm, length);
        impl_->LookAfterQueue();
    }
    SDL_FreeWAV(pcm);
    return started;
}

void SdlSoundPlayer::Stop() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (!impl_->open) return;
    impl_->out->Clear();
    impl_->LookAfterQueue();
}

bool SdlSoundPlayer::IsPlaying() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->open && impl_->out->QueuedBytes() > 0;
}

bool SdlSoundPlayer::DeviceOpen() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->open;
}

bool SdlSoundPlayer::Available() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return !impl_->unavailable;
}

namespace {
SoundPlayer* g_player = nullptr;
}

SoundPlayer& AppSoundPlayer() {
    if (g_player) return *g_player;
    static SdlSoundPlayer player;
    return player;
}

void SetAppSoundPlayer(SoundPlayer* player) { g_player = player; }

}  // namespace lq
