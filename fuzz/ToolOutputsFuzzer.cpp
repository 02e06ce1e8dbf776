// What the system's tools and files say: the first byte chooses the reader, the rest is its
// input (snapshot list, simulator list, mount table, 7-Zip listing, cask metadata).
#include "DovraneKit/apps/AppInventory.h"
#include "DovraneKit/scan/ToolOutputParsers.h"
#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/DiskImages.h"
#include "FuzzSupport.h"
#include "system/VolumeLabel.h"

#include <sys/stat.h>

using namespace dovrane;

namespace {

// Answers the listing with the input and refuses to unpack anything.
class ListingRunner final : public CommandRunner {
public:
    explicit ListingRunner(std::string listing) : listing_(std::move(listing)) {}
    std::optional<std::string> run(const std::string&, const std::vector<std::string>& arguments,
                                   std::stop_token = {}) const override {
        if (!arguments.empty() && arguments.front() == "l")
            return listing_;
        return std::nullopt;
    }

private:
    std::string listing_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    auto input = fuzz::text(data + 1, size - 1);
    switch (data[0] % 5) {
    case 0:
        for (const auto& snapshot : SnapshotParser::parse(input))
            (void)SnapshotParser::date(snapshot.stamp);
        break;
    case 1:
        (void)SimctlParser::parse(input);
        break;
    case 2: {
        auto table = fuzz::writeScratchFile("mountinfo", input);
        static const std::string labels = [] {
            auto folder = Path::join(fuzz::scratch(), "by-label");
            Fs::makeDirectories(folder, 0700);
            return folder;
        }();
        struct stat info;
        stat(fuzz::scratch().c_str(), &info);
        (void)volumelabel::find(info.st_dev, table, labels);
        break;
    }
    case 3: {
        static const std::string image = fuzz::writeScratchFile("image.dmg", "image");
        std::string mountPoint = Path::join(fuzz::scratch(), "mount");
        if (DiskImages::attach(image, mountPoint, ListingRunner(std::string(input)), "/usr/bin/7z"))
            fuzz::check(false, "an image that was never unpacked cannot be attached");
        fuzz::check(!Fs::exists(mountPoint), "a failed attach leaves no mount point");
        for (const std::string& name : Fs::list(fuzz::scratch()))
            fuzz::check(!name.starts_with(".mount.attach-"), "a failed attach leaves no staging folder");
        break;
    }
    case 4: {
        static const std::string room = Path::join(fuzz::scratch(), "Caskroom");
        fuzz::writeScratchFile("Caskroom/tool/.metadata/1.0/20240101/Casks/tool.json", input);
        AppInventory inventory(Url::fromPath(Path::join(fuzz::scratch(), "home")), std::vector<Url>{},
                               {Url::fromPath(room)});
        (void)inventory.caskMap();
        break;
    }
    }
    return 0;
}
