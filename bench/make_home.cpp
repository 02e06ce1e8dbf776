// Builds a synthetic home folder for the scan benchmark: about a million files in one of four
// shapes, with hard links, symbolic links and stale projects.
//
//   make_home ROOT [FILES] [SHAPE]
//
//   spread      spread over the folders a scan measures (the default)
//   one-folder  nearly all of them in one personal folder
//   caches      very many small cache folders in Library/Caches
//   cache-home  the same in the XDG cache home (~/.cache), with no Library/Caches
//   deep        chains of folders 200 deep

#include "ToolSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

std::mt19937_64 random_(42);
long long made_ = 0;

void makeFile(const fs::path& path, std::size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    static const std::string data(64 * 1024, 'd');
    while (size > 0) {
        std::size_t chunk = std::min(size, data.size());
        if (write(fd, data.data(), chunk) != ssize_t(chunk))
            std::exit(1);
        size -= chunk;
    }
    close(fd);
    ++made_;
}

// Mostly empty and tiny files, as real homes have, a tenth of a few kilobytes and a rare
// large one; about 3 KB allocated per file on average.
std::size_t pickSize() {
    auto roll = random_() % 1000;
    if (roll < 500)
        return 0;
    if (roll < 900)
        return 1 + random_() % 200;
    if (roll < 999)
        return 1000 + random_() % 8000;
    return 100000 + random_() % 400000;
}

// A tree of folders fanning out `width` wide and `depth` deep with `perFolder` files each.
void fillTree(const fs::path& root, int depth, int width, int perFolder) {
    fs::create_directories(root);
    for (int i = 0; i < perFolder; ++i)
        makeFile(root / ("file" + std::to_string(i) + ".dat"), pickSize());
    if (depth == 0)
        return;
    for (int i = 0; i < width; ++i)
        fillTree(root / ("folder" + std::to_string(i)), depth - 1, width, perFolder);
}

// `count` chains of folders `depth` deep with `perLevel` files at every level.
void fillChains(const fs::path& root, int count, int depth, int perLevel) {
    for (int chain = 0; chain < count; ++chain) {
        fs::path folder = root / ("chain" + std::to_string(chain));
        for (int level = 0; level < depth; ++level, folder /= "level") {
            fs::create_directories(folder);
            for (int i = 0; i < perLevel; ++i)
                makeFile(folder / ("file" + std::to_string(i) + ".dat"), pickSize());
        }
    }
}

void setTimesBelow(const fs::path& root, std::time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    for (const auto& entry : fs::recursive_directory_iterator(root))
        utimensat(AT_FDCWD, entry.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
    utimensat(AT_FDCWD, root.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

int main(int argc, char** argv) {
    const dovrane::tool::Forms forms("make_home", {{"ROOT", "[FILES]", "[SHAPE]"}},
                                     "FILES: about how many files to make, 1000000 unless given; SHAPE: spread "
                                     "(unless given), one-folder, caches, cache-home or deep");
    const auto args = dovrane::tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    fs::path home = args[0];
    const auto files = forms.number(args, 1, "FILES", 1'000'000, 1, 1'000'000'000);
    if (!files)
        return dovrane::tool::usageError;
    const long long target = *files;
    const std::string shape = args.size() > 2 ? args[2] : "spread";
    if (shape != "spread" && shape != "one-folder" && shape != "caches" && shape != "cache-home" && shape != "deep")
        return forms.refuse("unknown shape '" + shape + "'");
    // The trees below make about 760,000 files at scale 1; the other shapes put most of them
    // elsewhere and keep a tenth for the spread part.
    double scale = double(target) / 760000.0;
    double spreadShare = shape == "spread" ? 1.0 : 0.1;
    auto scaled = [&](double n) { return std::max(1, int(n * scale * spreadShare)); };
    // Without Library/Caches the scan reads the XDG cache home instead.
    const fs::path caches = home / (shape == "cache-home" ? ".cache" : "Library/Caches");

    // Personal folders: about half of all files (each tree ~ (6^5-1)/5 * 26 files).
    const int perFolder = scaled(50);
    for (const char* name : {"Documents", "Desktop", "Pictures", "Music", "Movies", "Downloads"})
        fillTree(home / name, 4, 6, perFolder);
    // The rest of a shaped home: 0.9 of the target in one place.
    const long long shaped = shape == "spread" ? 0 : (target * 9) / 10;
    if (shape == "one-folder") // (6^5-1)/5 = 1555 folders
        fillTree(home / "Documents/Archive", 4, 6, std::max(1, int(shaped / 1555)));
    else if (shape == "caches" || shape == "cache-home") // folders of 4 folders with 5 files each
        for (long long i = 0; i < shaped / 20; ++i)
            fillTree(caches / ("org.example.small" + std::to_string(i)), 1, 3, 5);
    else if (shape == "deep")
        fillChains(home / "Documents/Deep", int(std::max(1LL, shaped / 1000)), 200, 5);
    // Caches with many children, logs.
    for (int i = 0; i < scaled(3000); ++i)
        fillTree(caches / ("com.example.app" + std::to_string(i)), 1, 3, 8);
    fillTree(home / "Library/Logs", 2, 10, 30);
    // Xcode build products.
    for (int i = 0; i < scaled(40); ++i)
        fillTree(home / "Library/Developer/Xcode/DerivedData" /
                     ("Project" + std::to_string(i) + "-abcdefghijklmnopqrstuvwxyzab"),
                 3, 4, 20);
    // Projects: half of them stale, with node_modules beside package.json.
    std::time_t stale = std::time(nullptr) - 40 * 86400;
    for (int i = 0; i < scaled(60); ++i) {
        fs::path project = home / "Projects" / ("shop" + std::to_string(i));
        fillTree(project / "src", 2, 4, 10);
        makeFile(project / "package.json", 200);
        fillTree(project / "node_modules", 3, 5, 12);
        if (i % 2 == 0)
            setTimesBelow(project, stale);
    }
    // Hard links inside one folder and across folders, symbolic links to large folders.
    fs::create_directories(home / "Documents/links");
    for (int i = 0; i < 1000; ++i) {
        fs::path original = home / "Documents/folder0/folder0" / ("file" + std::to_string(i % perFolder) + ".dat");
        fs::path linked = home / "Documents/links" / ("hard" + std::to_string(i));
        if (link(original.c_str(), linked.c_str()) != 0 && errno != EEXIST)
            std::perror("link");
    }
    fs::create_directory_symlink(home / "Documents", home / "Desktop/documents-link");
    fs::create_directory_symlink(home / "Projects", home / "Documents/projects-link");

    std::printf("made %lld files below %s\n", made_, home.c_str());
    return 0;
}
