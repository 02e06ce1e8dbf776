#include "DovraneKit/apps/AppImages.h"

#include "DovraneKit/apps/AppVersion.h"
#include "DovraneKit/formats/DesktopEntry.h"
#include "DovraneKit/system/FileSystem.h"

#include "DovraneKit/system/SharedLibrary.h"
#include "apps/AppImageModule.h"
#include "core/Ascii.h"
#include "system/ForkedChild.h"

#include <expat.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace dovrane::AppImages {

namespace {

// A payload listing this long is not an app's; stop looking.
constexpr int maximumEntries = 50000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The module's reader, loaded with the first AppImage read; absent when the module cannot be
// loaded, and then every AppImage reads as one without a payload.
decltype(&dovrane_appimage_read) moduleReader() {
    static const auto reader = []() -> decltype(&dovrane_appimage_read) {
        static const SharedLibrary module(Path::join(Fs::moduleDirectory(), AppImageModule::fileName));
        decltype(&dovrane_appimage_read) found = nullptr;
        std::optional<Failure> missing;
        module.bind(found, AppImageModule::entryPoint, missing);
        return found;
    }();
    return reader;
}

using Entries = std::map<std::string, std::optional<std::string>>;

// What the module's callbacks work on. Nothing may be thrown back through the module.
struct EntryChoice {
    const std::function<std::size_t(std::string_view)>& limitFor;
    Entries found;
    bool failed = false;

    static std::size_t limit(void* context, const char* entry) {
        auto* self = static_cast<EntryChoice*>(context);
        try {
            return self->limitFor(entry);
        } catch (...) {
            self->failed = true;
            return 0;
        }
    }
    static void take(void* context, const char* entry, const char* contents, std::size_t size) {
        auto* self = static_cast<EntryChoice*>(context);
        try {
            self->found[entry] = contents ? std::optional<std::string>(std::in_place, contents, size) : std::nullopt;
        } catch (...) {
            self->failed = true;
        }
    }
};

// What a child may hand back: two pictures and two descriptions at their bounds, with room
// for the entries' names.
constexpr std::size_t maximumHandedBack = 2 * maximumIconSize + 2 * maximumTextSize + (64u << 10);
// The memory a reading child may take beyond what it starts with: the library's tables and
// caches, and the entries chosen.
constexpr std::size_t maximumReadingMemory = 512u << 20;
// A payload read that takes longer is not an app's; its child is ended.
constexpr int readingSeconds = 30;

// One entry as the child writes it: the name's length, whether it was read, the contents'
// length (native order: both ends are this process), then the name and the contents.
struct EntryHeader {
    std::uint32_t nameSize;
    std::uint32_t present;
    std::uint64_t contentsSize;
};

std::string handedBack(const Entries& entries) {
    std::string frames;
    for (const auto& [entry, contents] : entries) {
        const EntryHeader header{std::uint32_t(entry.size()), contents ? 1u : 0u, contents ? contents->size() : 0};
        frames.append(reinterpret_cast<const char*>(&header), sizeof header);
        frames += entry;
        if (contents)
            frames += *contents;
    }
    return frames;
}

std::optional<Entries> takenBack(std::string_view frames) {
    Entries entries;
    while (!frames.empty()) {
        EntryHeader header;
        if (frames.size() < sizeof header)
            return std::nullopt;
        std::memcpy(&header, frames.data(), sizeof header);
        frames.remove_prefix(sizeof header);
        if (header.nameSize > frames.size() || header.contentsSize > frames.size() - header.nameSize)
            return std::nullopt;
        std::string entry(frames.substr(0, header.nameSize));
        frames.remove_prefix(header.nameSize);
        std::optional<std::string> contents;
        if (header.present)
            contents.emplace(frames.substr(0, std::size_t(header.contentsSize)));
        frames.remove_prefix(std::size_t(header.contentsSize));
        entries[std::move(entry)] = std::move(contents);
    }
    return entries;
}

// Everything the child writes, up to maximumHandedBack and the deadline; absent past either.
std::optional<std::string> readHandedBack(int fd) {
    std::string frames;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(readingSeconds);
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return frames;
        frames.append(buffer, std::size_t(got));
        if (frames.size() > maximumHandedBack)
            return std::nullopt;
    }
}

// The address space a reading child may have: what this process has now and room for the
// reading, so that a payload whose tables claim gigabytes cannot take the machine's memory.
// None under a sanitizer that maps shadow memory, which no such bound allows.
std::optional<rlim_t> childAddressSpace() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return std::nullopt;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    return std::nullopt;
#endif
#endif
    const auto statm = Fs::readFile("/proc/self/statm", 4096);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (!statm || page <= 0)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long long pages = std::strtoull(statm->c_str(), &end, 10);
    if (end == statm->c_str())
        return std::nullopt;
    return rlim_t(pages) * rlim_t(page) + rlim_t(maximumReadingMemory);
}

// The payload entries that limitFor gives a non-zero size limit, read in place. A link is
// followed once, to the entry its target names (relative to the link's folder, or absolute
// within the payload); an entry over its limit reads as absent. Absent when the file is no
// type-2 AppImage or its payload cannot be read.
//
// libappimage and the SquashFS library below it trust the payload's tables, and a crafted
// payload makes them read past their buffers: the reading runs in a child process of its own,
// which hands the chosen entries back through a pipe, so such a payload ends only the child.
std::optional<Entries> chosenEntries(const std::string& path,
                                     const std::function<std::size_t(std::string_view)>& limitFor) {
    if (!isAppImage(path))
        return std::nullopt;
    const auto reader = moduleReader(); // loaded here, so the child only calls it
    if (!reader)
        return std::nullopt;
    const std::optional<rlim_t> addressSpace = childAddressSpace();
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t parent = ::getpid();
    const pid_t child = forkedchild::fork();
    if (child == 0) {
        ::close(pipe[0]);
        // The libraries also report a damaged payload on standard error, which is not theirs.
        if (!forkedchild::settle(parent))
            ::_exit(1);
        if (addressSpace) {
            const rlimit bound{*addressSpace, *addressSpace};
            ::setrlimit(RLIMIT_AS, &bound);
        }
        EntryChoice choice{limitFor, {}};
        const bool read =
            reader(path.c_str(), maximumEntries, &EntryChoice::limit, &EntryChoice::take, &choice) && !choice.failed;
        // No exit handlers: they belong to the parent.
        ::_exit(read && Fs::writeAll(pipe[1], handedBack(choice.found)) ? 0 : 1);
    }
    ::close(pipe[1]);
    std::optional<std::string> frames;
    if (child > 0)
        frames = readHandedBack(pipe[0]);
    ::close(pipe[0]);
    if (child < 0)
        return std::nullopt;
    if (!frames)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!frames || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return takenBack(*frames);
}

bool isMetainfoPath(std::string_view path) {
    return (path.starts_with("usr/share/metainfo/") || path.starts_with("usr/share/appdata/")) &&
           path.find('/', 19) == std::string_view::npos &&
           (path.ends_with(".metainfo.xml") || path.ends_with(".appdata.xml"));
}

// The AppStream reader: ids and release versions of the top-level component only.
class MetainfoReader {
public:
    Metainfo read(std::string_view xml) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        if (!parser)
            return {};
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &MetainfoReader::onStart, &MetainfoReader::onEnd);
        XML_SetCharacterDataHandler(parser, &MetainfoReader::onText);
        XML_SetEntityDeclHandler(parser, &MetainfoReader::onEntityDeclaration);
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
        XML_Parse(parser, xml.data(), int(xml.size()), XML_TRUE); // errors end the read
        XML_ParserFree(parser);
        return std::move(found_);
    }

private:
    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<MetainfoReader*>(data);
        ++self->depth_;
        self->text_.clear();
        if (self->depth_ == 2) {
            self->translated_ = false;
            for (int i = 0; attributes[i]; i += 2)
                if (std::strcmp(attributes[i], "xml:lang") == 0)
                    self->translated_ = true;
        }
        if (self->depth_ == 3 && std::strcmp(name, "release") == 0 && self->inReleases_) {
            for (int i = 0; attributes[i]; i += 2)
                if (std::strcmp(attributes[i], "version") == 0 && *attributes[i + 1])
                    self->offer(attributes[i + 1]);
        } else if (self->depth_ == 2 && std::strcmp(name, "releases") == 0) {
            self->inReleases_ = true;
        }
    }
    static void XMLCALL onEnd(void* data, const XML_Char* name) {
        auto* self = static_cast<MetainfoReader*>(data);
        if (self->depth_ == 2 && std::strcmp(name, "id") == 0 && !self->found_.id) {
            std::string id = trimmed(self->text_);
            if (!id.empty())
                self->found_.id = std::move(id);
        } else if (self->depth_ == 2 && std::strcmp(name, "name") == 0 && !self->translated_ && !self->found_.name) {
            std::string text = trimmed(self->text_);
            if (!text.empty())
                self->found_.name = std::move(text);
        } else if (self->depth_ == 2 && std::strcmp(name, "releases") == 0) {
            self->inReleases_ = false;
        }
        self->text_.clear();
        --self->depth_;
    }
    static void XMLCALL onText(void* data, const XML_Char* text, int length) {
        static_cast<MetainfoReader*>(data)->text_.append(text, std::size_t(length));
    }
    static void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                            const XML_Char*, const XML_Char*, const XML_Char*) {
        XML_StopParser(static_cast<MetainfoReader*>(data)->parser_, XML_FALSE);
    }

    static std::string trimmed(const std::string& text) {
        const auto first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    }

    void offer(std::string version) {
        if (!found_.newestRelease || AppVersion::isNewer(version, *found_.newestRelease))
            found_.newestRelease = std::move(version);
    }

    XML_Parser parser_ = nullptr;
    Metainfo found_;
    std::string text_;
    int depth_ = 0; // component = 1, its children 2, a release 3
    bool inReleases_ = false;
    bool translated_ = false; // the current child of the component has an xml:lang
};

std::string withoutDesktopSuffix(std::string name) {
    if (name.ends_with(".desktop"))
        name.erase(name.size() - 8);
    return name;
}

} // namespace

bool isAppImage(const std::string& path) {
    if (!Fs::isRegularFile(path))
        return false;
    const int fd = Fs::openForReading(path);
    if (fd < 0)
        return false;
    char header[11] = {};
    const ssize_t got = ::pread(fd, header, sizeof header, 0);
    ::close(fd);
    return got == ssize_t(sizeof header) &&
           std::memcmp(header,
                       "\x7F"
                       "ELF",
                       4) == 0 &&
           std::memcmp(header + 8, "AI\x02", 3) == 0;
}

bool hasAppImageName(std::string_view fileName) {
    return fileName.size() > 9 && ascii::lowercased(fileName.substr(fileName.size() - 9)) == ".appimage";
}

FileNameParts fileNameParts(std::string_view fileName) {
    std::string_view stem = hasAppImageName(fileName) ? fileName.substr(0, fileName.size() - 9) : fileName;
    // The name runs up to the first dash- or underscore-separated word that starts a version.
    for (std::size_t at = stem.find_first_of("-_"); at != std::string_view::npos;
         at = stem.find_first_of("-_", at + 1)) {
        std::string_view rest = stem.substr(at + 1);
        std::size_t skip = (!rest.empty() && (rest[0] == 'v' || rest[0] == 'V')) ? 1 : 0;
        if (rest.size() <= skip || !isDigit(rest[skip]) || at == 0)
            continue;
        std::string_view word = rest.substr(skip, rest.find_first_of("-_") - skip);
        // "x86_64" and a bare "64" are no versions: a version has a dot, or a "v" before it.
        if (skip == 0 && word.find('.') == std::string_view::npos)
            continue;
        return {std::string(stem.substr(0, at)), std::string(word)};
    }
    return {std::string(stem), std::nullopt};
}

Metainfo metainfo(std::string_view xml) { return MetainfoReader().read(xml); }

bool isTopLevelDesktopEntry(std::string_view entry) {
    return entry.find('/') == std::string_view::npos && entry.ends_with(".desktop");
}

std::optional<Payload> payload(const std::string& path) {
    // One desktop entry and one metainfo file at most: the module holds what is chosen until
    // the whole payload is read, so a payload of many such files cannot fill the memory.
    bool desktopChosen = false, metainfoChosen = false;
    auto files = chosenEntries(path, [&](std::string_view entry) -> std::size_t {
        if (isTopLevelDesktopEntry(entry) && !std::exchange(desktopChosen, true))
            return maximumTextSize;
        if (isMetainfoPath(entry) && !std::exchange(metainfoChosen, true))
            return maximumTextSize;
        return 0;
    });
    if (!files)
        return std::nullopt;
    Payload found;
    for (auto& [entry, contents] : *files) {
        if (entry.find('/') == std::string::npos) {
            if (!found.desktopFileName) {
                found.desktopFileName = entry;
                found.desktopEntry = std::move(contents);
            }
        } else if (!found.metainfo) {
            found.metainfo = std::move(contents);
        }
    }
    return found;
}

std::optional<std::string> icon(const std::string& path) {
    // The AppImage's own icon is .DirIcon; older ones only name it in the desktop entry. That
    // one is looked for in a second reading, so that no more than one picture is ever held.
    bool desktopChosen = false;
    auto files = chosenEntries(path, [&](std::string_view entry) -> std::size_t {
        if (entry == ".DirIcon")
            return maximumIconSize;
        return isTopLevelDesktopEntry(entry) && !std::exchange(desktopChosen, true) ? maximumTextSize : 0;
    });
    if (!files)
        return std::nullopt;
    if (auto dirIcon = files->find(".DirIcon"); dirIcon != files->end() && dirIcon->second)
        return dirIcon->second;
    std::string named;
    for (const auto& [entry, contents] : *files)
        if (entry.ends_with(".desktop") && contents) {
            const auto keys = DesktopEntry::keys(*contents);
            if (auto icon = keys.find("Icon"); icon != keys.end())
                named = icon->second;
        }
    if (named.empty() || named.find('/') != std::string::npos)
        return std::nullopt;
    files = chosenEntries(path, [&](std::string_view entry) -> std::size_t {
        return entry == named + ".png" || entry == named + ".svg" ? maximumIconSize : 0;
    });
    if (!files)
        return std::nullopt;
    for (const char* extension : {".png", ".svg"})
        if (auto file = files->find(named + extension); file != files->end() && file->second)
            return file->second;
    return std::nullopt;
}

InstalledApp read(const Url& file) {
    const std::string fileName = file.lastPathComponent();
    const FileNameParts named = fileNameParts(fileName);
    InstalledApp app;
    app.path = file;
    app.name = named.name;
    // Moved in rather than assigned from the literal: GCC 12 at -O2 takes the literal's copy for
    // an overlapping one (-Wrestrict, its bug 105329).
    app.version = std::string("?");
    app.source = AppSource::unknown;

    auto found = payload(file.path());
    if (!found)
        return app;
    std::map<std::string, std::string> entry;
    if (found->desktopEntry)
        entry = DesktopEntry::keys(*found->desktopEntry);
    const Metainfo info = found->metainfo ? metainfo(*found->metainfo) : Metainfo{};

    if (auto name = entry.find("Name"); name != entry.end() && !name->second.empty())
        app.name = name->second;
    if (info.id)
        app.bundleID = withoutDesktopSuffix(*info.id);
    else if (found->desktopFileName)
        app.bundleID = withoutDesktopSuffix(*found->desktopFileName);
    if (info.newestRelease)
        app.version = *info.newestRelease;
    else if (auto version = entry.find("X-AppImage-Version"); version != entry.end() && !version->second.empty())
        app.version = version->second;
    else if (named.version)
        app.version = *named.version;
    return app;
}

} // namespace dovrane::AppImages
