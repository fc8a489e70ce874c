// Writes the two binary files of a lesson module for scripts/make-module.sh:
//
//   make-module-tool pos OUT.pos < records
//       records: one line per sentence, "flag start end ipicnm ipic1 ipic2 ipic3 ipic4 ipic5"
//       (positions in samples of 1/11025 s). Writes int32 N, the 12-byte sentence records at
//       4 + 12*i and the six int16 picture fields at 6004 + 12*i (little-endian).
//
//   make-module-tool ims OUT.ims NAME[:WxH] ...
//       draws each named picture (sun, tea, clock, house, apple, umbrella, cat, train) as a JPEG
//       and writes the pictures file: two header words (picture count, total JPEG bytes), a table
//       of 500 int32 sizes at 8, the JPEG files back to back from 2008.
//
// Qt's own image classes draw and encode the pictures, so nothing beyond qt6-base is needed.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSentences = 500;
constexpr int kPictureTable = 4 + kMaxSentences * 12;  // 6004
constexpr int kMaxPictures = 500;
constexpr int kPictureData = 8 + kMaxPictures * 4;  // 2008
constexpr int kMaxPictureBytes = 131072;

void PutLe(std::vector<unsigned char>& out, size_t at, uint32_t value, int bytes) {
    if (out.size() < at + bytes) out.resize(at + bytes, 0);
    for (int b = 0; b < bytes; ++b) out[at + b] = static_cast<unsigned char>((value >> (8 * b)) & 0xFF);
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

int MakePos(const std::string& path) {
    std::vector<std::vector<long>> records;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::vector<long> v;
        long x;
        while (in >> x) v.push_back(x);
        if (v.size() != 9) {
            std::cerr << "make-module-tool: a record needs 9 numbers: " << line << "\n";
            return 1;
        }
        records.push_back(v);
    }
    if (records.size() > static_cast<size_t>(kMaxSentences)) {
        std::cerr << "make-module-tool: at most 500 sentences\n";
        return 1;
    }
    std::vector<unsigned char> out;
    // The picture table always starts at 6004, so the file runs at least to the end of the last
    // picture record.
    PutLe(out, 0, static_cast<uint32_t>(records.size()), 4);
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        for (int k = 0; k < 3; ++k) PutLe(out, 4 + 12 * i + 4 * k, static_cast<uint32_t>(r[k]), 4);
        for (int k = 0; k < 6; ++k)
            PutLe(out, kPictureTable + 12 * i + 2 * k, static_cast<uint32_t>(static_cast<uint16_t>(r[3 + k])), 2);
    }
    if (out.size() < static_cast<size_t>(kPictureTable)) out.resize(kPictureTable, 0);
    return WriteFile(path, out) ? 0 : 1;
}

// ---- pictures -----------------------------------------------------------------------------

void Sun(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(120, 180, 240));
    const QPointF c(w * 0.5, h * 0.5);
    const double r = std::min(w, h) * 0.22;
    p.setPen(QPen(QColor(255, 200, 0), std::max(2.0, r * 0.12), Qt::SolidLine, Qt::RoundCap));
    for (int k = 0; k < 12; ++k) {
        const double a = k * M_PI / 6;
        p.drawLine(QPointF(c.x() + std::cos(a) * r * 1.3, c.y() + std::sin(a) * r * 1.3),
                   QPointF(c.x() + std::cos(a) * r * 1.9, c.y() + std::sin(a) * r * 1.9));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 215, 0));
    p.drawEllipse(c, r, r);
}

void Tea(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(250, 240, 220));
    p.setPen(QPen(QColor(90, 60, 40), std::max(2, w / 60)));
    p.setBrush(QColor(255, 255, 255));
    const QRectF cup(w * 0.25, h * 0.35, w * 0.4, h * 0.45);
    p.drawRoundedRect(cup, w * 0.04, w * 0.04);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(cup.right() - w * 0.03, cup.top() + cup.height() * 0.2, w * 0.14, cup.height() * 0.45));
    p.setBrush(QColor(160, 90, 40));
    p.drawRect(QRectF(cup.left() + w * 0.02, cup.top() + h * 0.04, cup.width() - w * 0.04, h * 0.06));
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QRectF(w * 0.15, h * 0.78, w * 0.6, h * 0.1));
    p.setPen(QPen(QColor(180, 180, 180), std::max(2, w / 80)));
    for (int k = 0; k < 3; ++k) {
        const double x = cup.left() + cup.width() * (0.25 + 0.25 * k);
        QPainterPath steam(QPointF(x, cup.top() - h * 0.03));
        steam.cubicTo(QPointF(x - w * 0.04, cup.top() - h * 0.1), QPointF(x + w * 0.04, cup.top() - h * 0.16),
                      QPointF(x, cup.top() - h * 0.25));
        p.setBrush(Qt::NoBrush);
        p.drawPath(steam);
    }
}

void Clock(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(230, 230, 240));
    const QPointF c(w * 0.5, h * 0.5);
    const double r = std::min(w, h) * 0.4;
    p.setPen(QPen(QColor(30, 30, 60), std::max(2.0, r * 0.06)));
    p.setBrush(Qt::white);
    p.drawEllipse(c, r, r);
    for (int k = 0; k < 12; ++k) {
        const double a = k * M_PI / 6;
        p.drawLine(QPointF(c.x() + std::cos(a) * r * 0.82, c.y() + std::sin(a) * r * 0.82),
                   QPointF(c.x() + std::cos(a) * r * 0.95, c.y() + std::sin(a) * r * 0.95));
    }
    // half past seven
    const double hour = (7.5 / 12) * 2 * M_PI - M_PI / 2, minute = M_PI / 2;
    p.setPen(QPen(QColor(30, 30, 60), std::max(3.0, r * 0.09), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, QPointF(c.x() + std::cos(hour) * r * 0.5, c.y() + std::sin(hour) * r * 0.5));
    p.setPen(QPen(QColor(30, 30, 60), std::max(2.0, r * 0.05), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, QPointF(c.x() + std::cos(minute) * r * 0.78, c.y() + std::sin(minute) * r * 0.78));
}

void House(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(170, 210, 250));
    p.fillRect(QRectF(0, h * 0.8, w, h * 0.2), QColor(90, 170, 70));
    p.setPen(QPen(QColor(60, 40, 30), std::max(1, w / 100)));
    p.setBrush(QColor(230, 200, 150));
    p.drawRect(QRectF(w * 0.25, h * 0.45, w * 0.5, h * 0.37));
    QPolygonF roof;
    roof << QPointF(w * 0.2, h * 0.46) << QPointF(w * 0.5, h * 0.18) << QPointF(w * 0.8, h * 0.46);
    p.setBrush(QColor(180, 50, 40));
    p.drawPolygon(roof);
    p.setBrush(QColor(120, 70, 40));
    p.drawRect(QRectF(w * 0.45, h * 0.6, w * 0.1, h * 0.22));
    p.setBrush(QColor(200, 230, 255));
    p.drawRect(QRectF(w * 0.3, h * 0.52, w * 0.1, h * 0.1));
    p.drawRect(QRectF(w * 0.6, h * 0.52, w * 0.1, h * 0.1));
}

void Apple(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(255, 250, 235));
    const double r = std::min(w, h) * 0.3;
    const QPointF c(w * 0.5, h * 0.55);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QPointF(c.x() - r * 0.35, c.y()), r * 0.75, r);
    p.drawEllipse(QPointF(c.x() + r * 0.35, c.y()), r * 0.75, r);
    p.setPen(QPen(QColor(100, 60, 20), std::max(2.0, r * 0.1), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x(), c.y() - r * 0.8), QPointF(c.x() + r * 0.1, c.y() - r * 1.3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 60));
    p.drawEllipse(QPointF(c.x() + r * 0.4, c.y() - r * 1.15), r * 0.3, r * 0.15);
}

void Umbrella(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(150, 160, 175));
    p.setPen(QPen(QColor(90, 120, 200), std::max(1, w / 120)));
    for (int k = 0; k < 40; ++k) {
        const double x = (k * 37 % 100) / 100.0 * w, y = (k * 53 % 100) / 100.0 * h;
        p.drawLine(QPointF(x, y), QPointF(x - w * 0.02, y + h * 0.06));
    }
    const QRectF canopy(w * 0.15, h * 0.2, w * 0.7, h * 0.5);
    p.setPen(QPen(QColor(40, 40, 40), std::max(1, w / 100)));
    p.setBrush(QColor(40, 70, 160));
    p.drawChord(canopy, 0, 180 * 16);
    p.setPen(QPen(QColor(40, 40, 40), std::max(2, w / 50), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(w * 0.5, h * 0.45), QPointF(w * 0.5, h * 0.82));
    p.drawArc(QRectF(w * 0.5, h * 0.76, w * 0.1, h * 0.12), 180 * 16, 180 * 16);
}

void Cat(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(240, 230, 200));
    p.fillRect(QRectF(w * 0.1, h * 0.8, w * 0.8, h * 0.1), QColor(150, 40, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawEllipse(QRectF(w * 0.3, h * 0.45, w * 0.4, h * 0.38));
    p.drawEllipse(QRectF(w * 0.38, h * 0.22, w * 0.24, h * 0.28));
    QPolygonF ear1, ear2;
    ear1 << QPointF(w * 0.39, h * 0.3) << QPointF(w * 0.42, h * 0.14) << QPointF(w * 0.48, h * 0.25);
    ear2 << QPointF(w * 0.61, h * 0.3) << QPointF(w * 0.58, h * 0.14) << QPointF(w * 0.52, h * 0.25);
    p.drawPolygon(ear1);
    p.drawPolygon(ear2);
    p.setBrush(QColor(120, 200, 80));
    p.drawEllipse(QPointF(w * 0.45, h * 0.34), w * 0.025, h * 0.03);
    p.drawEllipse(QPointF(w * 0.55, h * 0.34), w * 0.025, h * 0.03);
}

void Train(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, QColor(200, 225, 245));
    p.setPen(QPen(QColor(80, 80, 80), std::max(1, h / 40)));
    p.drawLine(QPointF(0, h * 0.82), QPointF(w, h * 0.82));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 60));
    p.drawRoundedRect(QRectF(w * 0.1, h * 0.4, w * 0.6, h * 0.32), w * 0.03, w * 0.03);
    p.drawRect(QRectF(w * 0.6, h * 0.28, w * 0.18, h * 0.44));
    p.setBrush(QColor(220, 240, 255));
    for (int k = 0; k < 3; ++k) p.drawRect(QRectF(w * (0.15 + 0.14 * k), h * 0.46, w * 0.09, h * 0.1));
    p.setBrush(QColor(30, 30, 30));
    for (int k = 0; k < 4; ++k) p.drawEllipse(QPointF(w * (0.18 + 0.16 * k), h * 0.75), h * 0.06, h * 0.06);
}

bool Draw(const std::string& name, QImage& image) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = image.width(), h = image.height();
    if (name == "sun") Sun(p, w, h);
    else if (name == "tea") Tea(p, w, h);
    else if (name == "clock") Clock(p, w, h);
    else if (name == "house") House(p, w, h);
    else if (name == "apple") Apple(p, w, h);
    else if (name == "umbrella") Umbrella(p, w, h);
    else if (name == "cat") Cat(p, w, h);
    else if (name == "train") Train(p, w, h);
    else return false;
    return true;
}

int MakeIms(const std::string& path, int count, char** specs) {
    if (count > kMaxPictures) {
        std::cerr << "make-module-tool: at most 500 pictures\n";
        return 1;
    }
    std::vector<QByteArray> jpegs;
    for (int i = 0; i < count; ++i) {
        std::string spec = specs[i];
        int w = 200, h = 150;
        const size_t colon = spec.find(':');
        if (colon != std::string::npos) {
            if (std::sscanf(spec.c_str() + colon + 1, "%dx%d", &w, &h) != 2 || w < 8 || h < 8 || w > 1000 ||
                h > 1000) {
                std::cerr << "make-module-tool: bad size in " << spec << "\n";
                return 1;
            }
            spec.resize(colon);
        }
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (!Draw(spec, image)) {
            std::cerr << "make-module-tool: no drawing called " << spec << "\n";
            return 1;
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(80);
        if (!writer.write(image) || bytes.size() > kMaxPictureBytes) {
            std::cerr << "make-module-tool: cannot encode " << spec << "\n";
            return 1;
        }
        jpegs.push_back(bytes);
    }
    std::vector<unsigned char> out(kPictureData, 0);
    uint32_t total = 0;
    for (size_t k = 0; k < jpegs.size(); ++k) {
        PutLe(out, 8 + 4 * k, static_cast<uint32_t>(jpegs[k].size()), 4);
        total += static_cast<uint32_t>(jpegs[k].size());
    }
    PutLe(out, 0, static_cast<uint32_t>(jpegs.size()), 4);
    PutLe(out, 4, total, 4);
    for (const QByteArray& j : jpegs) out.insert(out.end(), j.begin(), j.end());
    return WriteFile(path, out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "pos") return MakePos(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == "ims") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return MakeIms(argv[2], argc - 3, argv + 3);
    }
    std::cerr << "usage: make-module-tool pos OUT.pos < records\n"
                 "       make-module-tool ims OUT.ims NAME[:WxH] ...\n";
    return 2;
}
