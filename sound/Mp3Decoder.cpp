#include "sound/Mp3Decoder.h"

#include <mutex>

namespace lq {

Mp3Decoder::Mp3Decoder() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mh_ = mpg123_new(nullptr, &err);
    if (!mh_) return;
    bool ok = mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD, 0) ==
                  MPG123_OK &&
              mpg123_param(mh_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
              mpg123_format_none(mh_) == MPG123_OK;
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; ok && i < count; ++i)
        ok = mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
    if (!ok || mpg123_open_feed(mh_) != MPG123_OK) {
        mpg123_delete(mh_);
        mh_ = nullptr;
    }
}

Mp3Decoder::~Mp3Decoder() {
    if (mh_) mpg123_delete(mh_);
}

}  // namespace lq
