// An app's icon file, as any downloaded app may carry it, through the decoding the Apps page
// uses (ICNS through Qt's plugin, PNG, SVG): it decodes within the largest side or not at all.
// run-once.sh's timeout bounds the time one input may take.
#include "FuzzSupport.h"
#include "UiKit/AppIcon.h"

#include <QGuiApplication>

#include <cstdlib>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A drawing's text needs the font database, which needs an application with a platform.
    static QGuiApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "AppIconFuzzer";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
    const QImage image = AppIcons::decodeIcon(std::string(fuzz::text(data, size)));
    fuzz::check(image.width() <= AppIcons::maximumIconSide && image.height() <= AppIcons::maximumIconSide,
                "an icon is never larger than the largest side");
    return 0;
}
