#include "pages/Pictures.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
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

QImage DecodePicture(const std::vector<char>& jpeg) {
    if (jpeg.empty()) return {};
    // Qt's JPEG reader keeps libjpeg's errors inside the reader: bad data gives a null image.
    QImage image = QImage::fromData(
        QByteArray::fromRawData(jpeg.data(), static_cast<qsizetype>(jpeg.size())), "JPG");
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
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
    for (int i = 0; i < count; ++i) {
        const std::optional<std::vector<char>> bytes = file.ReadPicture(numbers[i]);
        if (!bytes) continue;
        QImage image = DecodePicture(*bytes);
        if (image.isNull()) continue;
        pictures.Images[static_cast<size_t>(pictures.Count++)] = std::move(image);
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
