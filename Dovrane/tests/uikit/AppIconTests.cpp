#include "UiTestMain.h"

#include "UiKit/AppIcon.h"

#include "support/AppFixtures.h"
#include "support/TestSupport.h"

#include <DovraneKit/formats/Plist.h>
#include <DovraneKit/system/FileSystem.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

using namespace dovrane;
using dovrane::testing::TempDir;

namespace {

// An app bundle whose Info.plist names iconFile (none: no key).
std::string makeBundle(const TempDir& folder, const std::string& name, std::optional<std::string> iconFile) {
    const std::string bundle = folder / (name + ".app");
    PlistDict info{{"CFBundleIdentifier", "org.example." + name}};
    if (iconFile)
        info["CFBundleIconFile"] = *iconFile;
    dovrane::testing::writeFile(bundle + "/Contents/Info.plist", Plist::toXml(PlistValue(info)));
    dovrane::testing::makeFolder(bundle + "/Contents/Resources");
    return bundle;
}

QImage square(int size, QColor color) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

InstalledApp appAt(const std::string& path) {
    InstalledApp app;
    app.name = "Example";
    app.path = Url::fromPath(path);
    return app;
}

} // namespace

class AppIconTests : public QObject {
    Q_OBJECT
private slots:
    void bundleIconsDecodeFromIcnsOrPng() {
        QVERIFY(QImageWriter::supportedImageFormats().contains("icns"));
        TempDir folder;
        // No extension: ".icns" is added. The largest image of the file is the one shown.
        const std::string withIcns = makeBundle(folder, "Icns", "AppIcon");
        QImageWriter writer(QString::fromStdString(withIcns + "/Contents/Resources/AppIcon.icns"), "icns");
        QVERIFY(writer.write(square(128, Qt::red)));
        QCOMPARE(AppIcons::iconFile(withIcns), std::optional(withIcns + "/Contents/Resources/AppIcon.icns"));
        const QImage icns = AppIcons::image(withIcns);
        QCOMPARE(icns.size(), QSize(128, 128));
        QCOMPARE(QColor(icns.pixel(64, 64)), QColor(Qt::red));

        const std::string withPng = makeBundle(folder, "Png", "icon.png");
        QVERIFY(square(64, Qt::blue).save(QString::fromStdString(withPng + "/Contents/Resources/icon.png")));
        QCOMPARE(QColor(AppIcons::image(withPng).pixel(5, 5)), QColor(Qt::blue));

        // Replacing the file is seen: the cache is keyed by modification time too.
        const std::string png = withPng + "/Contents/Resources/icon.png";
        QVERIFY(square(32, Qt::green).save(QString::fromStdString(png)));
        dovrane::testing::setTimes(png, Date::now().adding(10));
        QCOMPARE(AppIcons::image(withPng).size(), QSize(32, 32));
    }

    void linuxAppsShowTheIconTheyCarry() {
        TempDir folder;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(square(48, Qt::magenta).save(&buffer, "PNG"));
        const std::string appImage = folder / "Tool.AppImage";
        if (dovrane::testing::mksquashfs()) {
            QVERIFY(dovrane::testing::writeAppImage(appImage, {{".DirIcon", png.toStdString()}}));
            QCOMPARE(QColor(AppIcons::image(appImage).pixel(5, 5)), QColor(Qt::magenta));
        }
        dovrane::testing::writeFile(folder / "Broken.AppImage", "not one");
        QCOMPARE(AppIcons::image(folder / "Broken.AppImage"), AppIcons::genericImage());

        const std::string deployed = folder / "flatpak/app/org.example.Flat/x86_64/stable/abc";
        dovrane::testing::writeFile(deployed + "/export/share/icons/hicolor/128x128/apps/org.example.Flat.png",
                                    png.toStdString());
        dovrane::testing::writeFile(deployed + "/export/share/icons/hicolor/64x64/apps/org.example.Flat.png", "x");
        QCOMPARE(QColor(AppIcons::image(deployed).pixel(5, 5)), QColor(Qt::magenta));
    }

    void bundlesWithoutAUsableIconGetTheGenericOne() {
        TempDir folder;
        const QImage generic = AppIcons::genericImage();
        QVERIFY(!generic.isNull());
        const std::string none = makeBundle(folder, "None", std::nullopt);
        QCOMPARE(AppIcons::image(none), generic);
        const std::string missing = makeBundle(folder, "Missing", "Gone.icns");
        QCOMPARE(AppIcons::image(missing), generic);
        const std::string broken = makeBundle(folder, "Broken", "Broken.icns");
        dovrane::testing::writeFile(broken + "/Contents/Resources/Broken.icns", "not an image");
        QCOMPARE(AppIcons::image(broken), generic);
        const std::string huge = makeBundle(folder, "Huge", "Huge.png");
        dovrane::testing::writeFileOfSize(huge + "/Contents/Resources/Huge.png", AppIcons::maximumIconFile + 1);
        QCOMPARE(AppIcons::image(huge), generic);
    }

    // A downloaded app's icon bytes cannot claim a huge picture: a PNG, alone or inside an ICNS
    // file, that declares more than the largest side is not decoded, and a drawing is drawn at
    // most that large.
    void iconsBeyondTheLargestSideAreNotDecoded() {
        const auto png = [](int side) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            square(side, Qt::green).save(&buffer, "PNG");
            return bytes.toStdString();
        };
        const auto icns = [](const std::vector<std::pair<std::string, std::string>>& entries) {
            std::string body;
            const auto length = [](std::size_t value) {
                return std::string{char(value >> 24), char(value >> 16 & 0xff), char(value >> 8 & 0xff),
                                   char(value & 0xff)};
            };
            for (const auto& [type, data] : entries)
                body += type + length(data.size() + 8) + data;
            return "icns" + length(body.size() + 8) + body;
        };
        QCOMPARE(AppIcons::decodeIcon(png(AppIcons::maximumIconSide)).size(),
                 QSize(AppIcons::maximumIconSide, AppIcons::maximumIconSide));
        const std::string large = png(AppIcons::maximumIconSide + 1);
        QVERIFY(large.size() < AppIcons::maximumIconFile);
        QVERIFY(AppIcons::decodeIcon(large).isNull());

        QCOMPARE(AppIcons::decodeIcon(icns({{"ic07", png(128)}})).size(), QSize(128, 128));
        // Reading stops once the images read hold the pixels of four of the largest: an image
        // after that is not decoded, however large.
        const auto wide = [&] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImage image(AppIcons::maximumIconSide, AppIcons::maximumIconSide / 2, QImage::Format_ARGB32);
            image.fill(Qt::green);
            image.save(&buffer, "PNG");
            return bytes.toStdString();
        }();
        std::vector<std::pair<std::string, std::string>> many(8, {"ic10", wide});
        many.push_back({"ic10", png(AppIcons::maximumIconSide)});
        QCOMPARE(AppIcons::decodeIcon(icns(many)).size(),
                 QSize(AppIcons::maximumIconSide, AppIcons::maximumIconSide / 2));
        many.erase(many.begin() + 1, many.end() - 1);
        QCOMPARE(AppIcons::decodeIcon(icns(many)).size(), QSize(AppIcons::maximumIconSide, AppIcons::maximumIconSide));
        QVERIFY(AppIcons::decodeIcon(icns({{"ic07", png(128)}, {"ic10", large}})).isNull());

        const std::string drawing = "<svg xmlns='http://www.w3.org/2000/svg' width='100000' height='50000'>"
                                    "<rect width='100000' height='50000' fill='blue'/></svg>";
        QCOMPARE(AppIcons::decodeIcon(drawing).size(), QSize(AppIcons::maximumIconSide, AppIcons::maximumIconSide / 2));
        QVERIFY(AppIcons::decodeIcon(std::string(AppIcons::maximumIconFile + 1, 'x')).isNull());
    }

    // Qt's ICNS plugin allocates what an entry claims before it reads it. A file whose entries,
    // or whose table of contents, claim more than it holds is refused before the plugin sees
    // it: such files give no image, without the memory they claim. A sound table still decodes.
    void icnsEntriesClaimingMoreThanTheFileHoldsAreRefused() {
        const auto bytes = [](std::initializer_list<unsigned> values) {
            std::string text;
            for (unsigned value : values)
                text += {char(value >> 24), char(value >> 16 & 0xff), char(value >> 8 & 0xff), char(value & 0xff)};
            return text;
        };
        // 28 bytes whose one entry claims a gigabyte.
        const std::string crafted =
            bytes({0x69636e73, 0x00000008, 0x69637034, 0x40000059, 0x89504e47, 0x0d0a1a0a, 0x0000000d});
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        square(128, Qt::red).save(&buffer, "PNG");
        const std::string png = encoded.toStdString();
        const auto withTable = [&](unsigned listed) {
            const std::string entries =
                bytes({0x544f4320, 16, 0x69633037, listed}) + "ic07" + bytes({unsigned(png.size() + 8)}) + png;
            return "icns" + bytes({unsigned(entries.size() + 8)}) + entries;
        };
        QCOMPARE(AppIcons::decodeIcon(withTable(unsigned(png.size() + 8))).size(), QSize(128, 128));

        // Decoded with room for little more than the process holds now: an allocation of the
        // gigabyte claimed would fail, and Qt would end the process.
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_AS, &before), 0);
#if !defined(__SANITIZE_ADDRESS__) // its shadow memory takes more address space than any bound
        const std::optional<std::string> statm = Fs::readFile("/proc/self/statm", 4096);
        QVERIFY(statm);
        const rlim_t room =
            rlim_t(std::strtoull(statm->c_str(), nullptr, 10)) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        const rlimit bound{std::min(room, before.rlim_cur), before.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_AS, &bound), 0);
#endif
        const bool refused =
            AppIcons::decodeIcon(crafted).isNull() && AppIcons::decodeIcon(withTable(0x40000000)).isNull();
        QCOMPARE(setrlimit(RLIMIT_AS, &before), 0);
        QVERIFY(refused);
    }

    void iconNamesNeverLeaveTheResourcesFolder() {
        TempDir folder;
        for (const std::string name : {"../../../outside.png", "sub/icon.png", "..", "."}) {
            const std::string bundle = makeBundle(folder, "Traversal", name);
            dovrane::testing::writeFile(folder / "outside.png", "x");
            QVERIFY2(!AppIcons::iconFile(bundle), name.c_str());
            Fs::removeAll(bundle);
        }
    }

    void aDeletedBundleShowsTheDashedSymbol() {
        TempDir folder;
        const std::string bundle = makeBundle(folder, "Deleted", std::nullopt);
        AppIcon icon(appAt(bundle), 40);
        QCOMPARE(icon.size(), QSize(40, 40));
        QVERIFY(icon.bundleExists());
        const QImage present = icon.grab().toImage();
        Fs::removeAll(bundle);
        // Asked again at every paint, nothing cached.
        QVERIFY(!icon.bundleExists());
        QImage gone(40, 40, QImage::Format_ARGB32_Premultiplied);
        gone.fill(Qt::transparent);
        icon.render(&gone, QPoint(), QRegion(), QWidget::DrawChildren);
        QVERIFY(present != icon.grab().toImage());
        // The symbol is 32 wide inside the 40-point square: the outer 4 points stay empty.
        int drawn = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (qAlpha(gone.pixel(x, y)) > 0) {
                    QVERIFY(x >= 4 && x < 36 && y >= 4 && y < 36);
                    ++drawn;
                }
        QVERIFY(drawn > 0);
    }
};

DOVRANE_UI_TEST_MAIN(AppIconTests)
#include "AppIconTests.moc"
