#pragma once
// One libmpg123 decoder in feed mode as the MP3 reader uses it: no gapless trimming, the
// Info/LAME frame decoded as an ordinary frame, no read-ahead, output signed 16-bit in the
// stream's own rate and channels. get() is null when the decoder could not be set up.
#include <mpg123.h>

namespace lq {

class Mp3Decoder {
public:
    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;
    mpg123_handle* get() const { return mh_; }

private:
    mpg123_handle* mh_ = nullptr;
};

}  // namespace lq
