// The command line, as whatever starts Dovrane may give it (arguments separated by NUL bytes,
// the first the program's name): options are left out, every path becomes a file
// URL, a text with a scheme is read as a URL, and each reads back from its text.
#include "DovraneKit/system/FileSystem.h"
#include "FuzzSupport.h"
#include "Services/UrlLists.h"

#include <algorithm>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments;
    const std::string_view bytes = fuzz::text(data, size);
    for (std::size_t start = 0;;) {
        const std::size_t end = bytes.find('\0', start);
        arguments.emplace_back(bytes.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    const std::string folder = "/home/someone/Downloads";
    const std::vector<Url> urls = UrlLists::ofArguments(arguments, folder);
    const auto isOption = [](const std::string& argument) { return argument.empty() || argument.starts_with("--"); };
    const auto given = std::count_if(arguments.begin() + 1, arguments.end(), [&](auto& a) { return !isOption(a); });
    const auto paths = std::count_if(arguments.begin() + 1, arguments.end(), [&](auto& argument) {
        return !isOption(argument) && argument.find("://") == std::string::npos;
    });
    fuzz::check(urls.size() <= std::size_t(given), "no more URLs than arguments that are no options");
    fuzz::check(urls.size() >= std::size_t(paths), "every path is taken");
    for (const Url& url : urls) {
        const auto again = Url::parse(url.text());
        fuzz::check(again && *again == url, "a URL reads back from its text");
    }
    return 0;
}
