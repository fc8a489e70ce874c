#include "pages/Pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <map>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "pages/Log.h"
#include "platform/FileNames.h"

namespace lq {
namespace {

int32_t LittleEndian32(const unsigned char* b) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

// A narrow picture is stretched to 250 pixels, its height scaled in double and truncated.
QSize DrawnSize(const QSize& s) {
    if (s.width() >= 250) return s;
    return {250, static_cast<int>(s.height() * (250.0 / s.width()))};
}

bool IsFrameMarker(unsigned char m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Markers without a length: TEM, RST0..7, SOI.
bool IsStandaloneMarker(unsigned char m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD8); }

// The index of the 0xFF that starts the marker ending the entropy-coded data at `i`.
size_t SkipEntropyCodedData(const unsigned char* d, size_t size, size_t i) {
    while (i < size) {
        const void* ff = std::memchr(d + i, 0xFF, size - i);
        if (!ff) return size;
        i = static_cast<size_t>(static_cast<const unsigned char*>(ff) - d);
        if (i + 1 >= size) return size;
        const unsigned char next = d[i + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            i += 2;  // a stuffed 0xFF or a restart marker: still inside the scan
        } else if (next == 0xFF) {
            i += 1;  // a fill byte before a marker
        } else {
            return i;
        }
    }
    return size;
}

bool PixelsWithinBounds(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width * height <= kMaxPicturePixels;
}

std::string SizeText(int64_t width, int64_t height) { return std::to_string(width) + " x " + std::to_string(height); }

}  // namespace

bool ImsFile::Open(const std::string& path) {
    open_ = false;
    in_.close();
    in_.clear();
    in_.open(path, std::ios::binary);
    if (!in_) return false;
    in_.seekg(0, std::ios::end);
    fileSize_ = static_cast<int64_t>(in_.tellg());
    in_.seekg(0, std::ios::beg);
    unsigned char header[kImsDataOffset];
    if (fileSize_ < kImsDataOffset || !in_.read(reinterpret_cast<char*>(header), kImsDataOffset)) {
        in_.close();
        return false;
    }
    for (int k = 0; k < kImsPictureCount; ++k) sizes_[static_cast<size_t>(k)] = LittleEndian32(header + 8 + 4 * k);
    open_ = true;
    return true;
}

std::optional<std::vector<char>> ImsFile::ReadPicture(int number) {
    if (!open_ || number < 0 || number >= kImsPictureCount) return std::nullopt;
    int64_t offset = kImsDataOffset;
    for (int j = 0; j < number; ++j) {
        const int32_t s = sizes_[static_cast<size_t>(j)];
        if (s < 0) return std::nullopt;  // a damaged table: no offset after it can be trusted
        offset += s;
    }
    const int32_t size = sizes_[static_cast<size_t>(number)];
    if (size <= 0 || size > kMaxPictureBytes || offset + size > fileSize_) return std::nullopt;

    std::vector<char> bytes(static_cast<size_t>(size));
    in_.clear();
    in_.seekg(offset, std::ios::beg);
    if (!in_ || !in_.read(bytes.data(), size) || in_.gcount() != size) {
        in_.clear();
        return std::nullopt;
    }
    return bytes;
}

JpegOutline ReadJpegOutline(const char* data, size_t size, int scanLimit) {
    JpegOutline out;
    const auto* d = reinterpret_cast<const unsigned char*>(data);
    if (!d || size < 2 || d[0] != 0xFF || d[1] != 0xD8) return out;
    size_t i = 2;
    while (i < size) {
        if (d[i] != 0xFF) {  // stray bytes between segments: the decoder looks for the next marker too
            ++i;
            continue;
        }
        while (i < size && d[i] == 0xFF) ++i;  // fill bytes
        if (i >= size) break;
        const unsigned char marker = d[i++];
        if (marker == 0xD9) break;  // EOI
        if (marker == 0x00 || IsStandaloneMarker(marker)) continue;
        if (i + 2 > size) break;
        const size_t length = (static_cast<size_t>(d[i]) << 8) | d[i + 1];
        if (length < 2) break;
        if (IsFrameMarker(marker) && i + 8 <= size) {
            const int height = (d[i + 3] << 8) | d[i + 4];
            const int width = (d[i + 5] << 8) | d[i + 6];
            out.Frame = true;
            out.Width = std::max(out.Width, width);
            out.Height = std::max(out.Height, height);
        }
        i += length;
        if (marker == 0xDA) {
            if (++out.Scans > scanLimit) break;
            i = SkipEntropyCodedData(d, size, i);
        }
    }
    return out;
}

QImage DecodePicture(const std::vector<char>& jpeg, std::string* refusal) {
    auto refuse = [refusal](const std::string& why) {
        if (refusal) *refusal = why;
        return QImage();
    };
    if (refusal) refusal->clear();
    if (jpeg.empty()) return refuse("no data");
    // Refused on what the file declares, before anything is decoded: every scan is a pass over
    // all of the picture's blocks, and the pixels are allocated from the frame's size.
    const JpegOutline outline = ReadJpegOutline(jpeg.data(), jpeg.size());
    if (outline.Scans > kMaxPictureScans)
        return refuse("more than " + std::to_string(kMaxPictureScans) + " scans");
    if (outline.Frame && !PixelsWithinBounds(outline.Width, outline.Height))
        return refuse("declared size " + SizeText(outline.Width, outline.Height));

    // Qt's JPEG reader keeps libjpeg's errors inside the reader: bad data gives a null image.
    QByteArray bytes = QByteArray::fromRawData(jpeg.data(), static_cast<qsizetype>(jpeg.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPG");
    // The decoder's own guard, should its header say more than the segments read above.
    reader.setAllocationLimit(static_cast<int>((kMaxPicturePixels * 4 >> 20) + 1));
    const QSize header = reader.size();
    if (header.isValid() && !PixelsWithinBounds(header.width(), header.height()))
        return refuse("decoder's size " + SizeText(header.width(), header.height()));
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return refuse("not decodable");
    if (!PixelsWithinBounds(image.width(), image.height()))
        return refuse("decoded size " + SizeText(image.width(), image.height()));
    image.detach();  // own the pixels: the bytes were only borrowed
    return image;
}

void SentencePictures::Clear() {
    for (QImage& i : Images) i = QImage();
    Count = 0;
}

std::string PictureFilePath(const std::string& programDir, const std::string& sfname) {
    if (sfname.empty()) return {};
    const size_t dot = sfname.find_last_of('.');
    const std::string name = (dot == std::string::npos ? sfname + "." : sfname.substr(0, dot + 1)) + "ims";
    return ResolveNameCi(programDir, "Data/" + name);
}

void LoadItemImages(const AppContext& ctx, SentencePictures& pictures) {
    if (!ctx.state || !ctx.db || !ctx.row || ctx.state->ItemCount < 1) return;
    pictures.Clear();

    CurrentRow& row = *ctx.row;
    row.ipicnm = 0;
    row.ididnt = -1;
    ctx.db->QueryCached("SELECT * FROM items2 WHERE ididnt=?;", {ctx.state->CurrentItemId}, row);
    if (row.ididnt == -1) return;  // no such sentence
    const int count = std::clamp(row.ipicnm, 0, kMaxSentencePictures);
    if (count == 0) return;
    const int numbers[kMaxSentencePictures] = {row.ipic_1, row.ipic_2, row.ipic_3, row.ipic_4, row.ipic_5};

    row.sfname.clear();  // a failed or empty read must not name another module's file
    ctx.db->QueryCached("SELECT * FROM sounds WHERE ididnt=?;", {row.isound}, row);
    const std::string path = PictureFilePath(ctx.env ? ctx.env->ProgramDir : std::string("."), row.sfname);
    if (path.empty()) return;

    ImsFile file;
    if (!file.Open(path)) return;
    // Each picture number is read and decoded once; slots naming it share its pixels.
    std::map<int, QImage> decoded;
    for (int i = 0; i < count; ++i) {
        auto it = decoded.find(numbers[i]);
        if (it == decoded.end()) {
            QImage image;
            if (const std::optional<std::vector<char>> bytes = file.ReadPicture(numbers[i])) {
                std::string refusal;
                image = DecodePicture(*bytes, &refusal);
                if (image.isNull())
                    qCDebug(lcPages, "picture %d of %s not shown: %s", numbers[i], path.c_str(), refusal.c_str());
            }
            it = decoded.emplace(numbers[i], std::move(image)).first;
        }
        if (it->second.isNull()) continue;
        pictures.Images[static_cast<size_t>(pictures.Count++)] = it->second;
    }
}

std::vector<QRect> LayoutPictures(const std::vector<QSize>& sizes, int viewWidth) {
    std::vector<QRect> rects(sizes.size());
    std::vector<size_t> drawable;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i].width() > 0 && sizes[i].height() > 0) drawable.push_back(i);

    int x = 0, y = 0;
    for (size_t d = 0; d < drawable.size(); ++d) {
        const QSize s = DrawnSize(sizes[drawable[d]]);
        rects[drawable[d]] = QRect(QPoint(x, y), s);
        if (d + 1 < drawable.size()) {
            const int nextWidth = DrawnSize(sizes[drawable[d + 1]]).width();
            if (static_cast<int64_t>(x) + s.width() + nextWidth + 2 > viewWidth) {
                x = 0;
                y += s.height() + 2;
            } else {
                x += s.width() + 2;
            }
        }
    }
    return rects;
}

}  // namespace lq
