#pragma once
// Sentence pictures: the module's ".ims" picture file, the current sentence's (at most five)
// pictures decoded into images, and the layout of the pictures window.
//
// ".ims" layout (little-endian): two 32-bit header words (not interpreted), a table of 500
// signed 32-bit picture sizes at offset 8, then the JPEG files back to back from offset 2008;
// picture k starts at 2008 + size[0] + ... + size[k-1].
#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace lq {

struct AppContext;

inline constexpr int kMaxSentencePictures = 5;
inline constexpr int kImsPictureCount = 500;
inline constexpr int64_t kImsDataOffset = 2008;
inline constexpr int kMaxPictureBytes = 131072;
// A picture is shown only within these bounds, so that loading a sentence's five pictures stays
// well under half a second and 256 MB whatever the file holds: at most 4 megapixels (16 MiB as
// 32-bit pixels) and at most 32 scans (a progressive JPEG of libjpeg's own script has 6 to 18;
// every scan is a pass over all of the picture's blocks).
inline constexpr int64_t kMaxPicturePixels = 4LL * 1024 * 1024;
inline constexpr int kMaxPictureScans = 32;

// A picture file opened for reading. Every picture is checked against the table and the file's
// size before it is read: a number outside 0..499, a size that is not 1..131072 bytes, a table
// with negative sizes before it, or data running past the end of the file give no picture.
class ImsFile {
public:
    bool Open(const std::string& path);
    bool IsOpen() const { return open_; }
    // The JPEG bytes of picture `number`, or nothing.
    std::optional<std::vector<char>> ReadPicture(int number);

private:
    mutable std::ifstream in_;
    bool open_ = false;
    int64_t fileSize_ = 0;
    std::array<int32_t, kImsPictureCount> sizes_{};
};

// What a JPEG's marker segments declare, read without decoding: the frame's size (the largest
// of its SOF segments) and the number of scans (SOS segments) before EOI or the end of the data.
// Entropy-coded data is stepped over (stuffed 0xFF00 and RST markers included); counting stops
// once `scanLimit` is passed.
struct JpegOutline {
    bool Frame = false;
    int Width = 0;
    int Height = 0;
    int Scans = 0;
};
JpegOutline ReadJpegOutline(const char* data, size_t size, int scanLimit = kMaxPictureScans);

// JPEG bytes to an image; a null image when the data cannot be decoded or has no area, and when
// it passes the bounds above (checked on the marker segments before decoding, and on the
// decoder's header and result). `refusal`, when given, receives the reason of a refusal.
QImage DecodePicture(const std::vector<char>& jpeg, std::string* refusal = nullptr);

// The current sentence's pictures: only the slots below Count hold pictures.
struct SentencePictures {
    std::array<QImage, kMaxSentencePictures> Images;
    int Count = 0;
    void Clear();
};

// The picture file of a module whose sound file is `sfname` ("lesson.mp3" -> "Data/lesson.ims"),
// found case-insensitively under `programDir` by its name in either encoding (ResolveNameCi);
// "" when there is none.
std::string PictureFilePath(const std::string& programDir, const std::string& sfname);

// Reads the pictures of the sentence ctx.state->CurrentItemId into `pictures`: nothing happens
// when the database holds no sentence; otherwise the slots are cleared first and only the
// pictures actually decoded are counted, so a missing file or a bad picture never leaves the
// previous sentence's pictures on show. A picture named several times is read and decoded once
// and its slots share the one image. Refused pictures are logged under lq.pages.
void LoadItemImages(const AppContext& ctx, SentencePictures& pictures);

// Where each picture is drawn in a view `viewWidth` pixels wide: rows from left to right with
// 2-pixel gaps; a picture narrower than 250 pixels is stretched to 250 wide (height scaled and
// truncated); wider ones keep their size. A new row starts 2 pixels below the last picture
// drawn. Pictures without area are left out (an empty rectangle in their place).
std::vector<QRect> LayoutPictures(const std::vector<QSize>& sizes, int viewWidth);

}  // namespace lq
