// quor-mkmap IN OUT: turns a world map image (full circle of longitude across
// the width, north at the top) into the viewer's Earth map: 2048 x 1024, an
// uncompressed 24-bit bottom-up BMP, the layout the Earth's texture expects.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// Powers of two, so that any OpenGL 1.1 accepts the texture.
constexpr int kMapWidth = 2048;
constexpr int kMapHeight = 1024;

void Put16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t v) {
    Put16(out, uint16_t(v));
    Put16(out, uint16_t(v >> 16));
}

// Written by hand so that the depth, row order and padding are ours, not a
// codec's choice.
std::vector<uint8_t> EncodeBmp24(const QImage &rgb) {
    const uint32_t width = uint32_t(rgb.width());
    const uint32_t height = uint32_t(rgb.height());
    const uint32_t stride = (width * 3 + 3) & ~3u;
    const uint32_t pixelBytes = stride * height;
    constexpr uint32_t kHeaders = 14 + 40;

    std::vector<uint8_t> out;
    out.reserve(kHeaders + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, kHeaders + pixelBytes);
    Put32(out, 0); // reserved
    Put32(out, kHeaders);
    Put32(out, 40); // BITMAPINFOHEADER
    Put32(out, width);
    Put32(out, height); // positive: bottom-up
    Put16(out, 1);      // planes
    Put16(out, 24);
    Put32(out, 0); // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0); // no palette
    Put32(out, 0);

    for (int y = int(height) - 1; y >= 0; --y) {
        const uchar *row = rgb.constScanLine(y);
        for (uint32_t x = 0; x < width; ++x) {
            out.push_back(row[3 * x + 2]);
            out.push_back(row[3 * x + 1]);
            out.push_back(row[3 * x]);
        }
        out.resize(out.size() + (stride - width * 3), 0);
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // for the image format plug-ins
    if (argc != 3) {
        std::fprintf(stderr, "usage: quor-mkmap IN OUT\n");
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "quor-mkmap: cannot read %s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    // A world map in this projection is twice as wide as it is high; anything
    // else is some other picture.
    if (image.width() != 2 * image.height()) {
        std::fprintf(stderr, "quor-mkmap: %s is %d x %d, not a 2:1 world map\n", argv[1], image.width(),
                     image.height());
        return 1;
    }
    if (image.size() != QSize(kMapWidth, kMapHeight))
        image = image.scaled(kMapWidth, kMapHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGB888);

    const std::vector<uint8_t> bytes = EncodeBmp24(image);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) !=
            qint64(bytes.size()) ||
        !out.flush()) {
        std::fprintf(stderr, "quor-mkmap: cannot write %s: %s\n", argv[2], qPrintable(out.errorString()));
        out.remove();
        return 1;
    }
    return 0;
}
