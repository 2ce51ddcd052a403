// quor-mkicon: the PNGs it writes for the icon theme, and how it refuses bad
// arguments.
#include "resources/gui/icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
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

// Largest difference of any channel of any pixel, compared premultiplied so that
// the colour of see-through pixels does not count.
int MaxDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return 256;
    const QImage pa = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage pb = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int worst = 0;
    for (int y = 0; y < pa.height(); ++y)
        for (int x = 0; x < pa.width(); ++x) {
            const QRgb ca = pa.pixel(x, y), cb = pb.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(ca) - qRed(cb)), std::abs(qGreen(ca) - qGreen(cb)),
                              std::abs(qBlue(ca) - qBlue(cb)), std::abs(qAlpha(ca) - qAlpha(cb))});
        }
    return worst;
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

TEST(MkIcon, LargerSizeIsTheLargestDrawingScaledUp) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("icon48.png"));
    ASSERT_EQ(RunTool({path, QStringLiteral("48")}), 0);
    const QImage png(path, "png");
    ASSERT_EQ(png.size(), QSize(48, 48));
    // The globe fills the middle, the corners stay see-through.
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(png.pixel(47, 47)), 0);
    EXPECT_EQ(qAlpha(png.pixel(24, 24)), 255);
    // The 32-pixel drawing brought to the same size, give or take rounding.
    const QImage expected = MainIcon()
                                .pixmap(QSize(32, 32))
                                .toImage()
                                .scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(MaxDifference(png, expected), 2);
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
