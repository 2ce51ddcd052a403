// quor-mkicon: the PNGs it writes for the icon theme, and how it refuses bad
// arguments.
#include "resources/gui/icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

int RunTool(const QStringList &args) {
    QProcess tool;
    tool.start(QStringLiteral(QUOR_MKICON), args);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    return tool.exitCode();
}

QImage Drawn(int size) {
    return MainIcon().pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(MkIcon, DrawnSizesAreTheMainIconUnchanged) {
    QTemporaryDir dir;
    for (int size : {16, 32}) {
        const QString path = dir.filePath(QStringLiteral("icon%1.png").arg(size));
        ASSERT_EQ(RunTool({path, QString::number(size)}), 0);
        QImage png(path, "png");
        ASSERT_FALSE(png.isNull()) << size;
        EXPECT_TRUE(png.hasAlphaChannel()) << size;
        ASSERT_EQ(png.size(), QSize(size, size));
        EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), Drawn(size)) << size;
    }
}

// Mean difference of all channels, premultiplied, in levels of 255.
double MeanDifference(const QImage &a, const QImage &b) {
    const QImage pa = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage pb = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int y = 0; y < pa.height(); ++y)
        for (int x = 0; x < pa.width(); ++x) {
            const QRgb ca = pa.pixel(x, y), cb = pb.pixel(x, y);
            sum += std::abs(qRed(ca) - qRed(cb)) + std::abs(qGreen(ca) - qGreen(cb)) +
                   std::abs(qBlue(ca) - qBlue(cb)) + std::abs(qAlpha(ca) - qAlpha(cb));
        }
    return sum / (4.0 * pa.width() * pa.height());
}

QImage FromSvg(int size) {
    QSvgRenderer svg(QStringLiteral(QUOR_ICON_SVG));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    return image;
}

// The theme's larger sizes are drawn at their own size, not a small drawing
// scaled up, and the scalable icon installed beside them shows the same picture.
TEST(MkIcon, LargeSizesAreSharpAndMatchTheScalableIcon) {
    QTemporaryDir dir;
    for (int size : {48, 256}) {
        const QString path = dir.filePath(QStringLiteral("icon%1.png").arg(size));
        ASSERT_EQ(RunTool({path, QString::number(size)}), 0);
        const QImage png(path, "png");
        ASSERT_EQ(png.size(), QSize(size, size));
        const int last = size - 1, middle = size / 2;
        EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(png.pixel(last, last)), 0) << size;
        EXPECT_EQ(qAlpha(png.pixel(middle, middle)), 255) << size;

        const QImage svg = FromSvg(size);
        ASSERT_FALSE(svg.isNull());
        const double fromSvg = MeanDifference(png, svg);
        const QImage scaledUp = Drawn(32).scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Only the two rasterisers' edges differ; a scaled-up drawing is blurred all over.
        EXPECT_LT(fromSvg, 1.0) << size;
        EXPECT_LT(fromSvg * 4, MeanDifference(scaledUp, svg)) << size;
    }
}

TEST(MkIcon, RefusesBadArgumentsWithoutWriting) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("icon.png"));
    for (const QStringList &args : {QStringList{path}, QStringList{path, QStringLiteral("0")},
                                    QStringList{path, QStringLiteral("32px")}}) {
        EXPECT_EQ(RunTool(args), 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(path)) << args.join(' ').toStdString();
    }
}

} // namespace

int main(int argc, char **argv) {
    // Test discovery runs this too, with no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the reference drawings are pixmaps
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
