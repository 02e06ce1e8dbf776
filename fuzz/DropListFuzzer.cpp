// A drop's text/uri-list, as any program may offer it: every item is a URL that reads back
// from its text, never more items than lines, and the items written as a list read the same.
#include "FuzzSupport.h"
#include "Services/UrlLists.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray list = QByteArray::fromStdString(std::string(fuzz::text(data, size)));
    const std::vector<Url> urls = UrlLists::ofUriList(list);
    fuzz::check(urls.size() <= std::size_t(list.count('\n')) + 1, "no more items than lines");
    QByteArray written = "# written again\r\n";
    for (const Url& url : urls) {
        const auto again = Url::parse(url.text());
        fuzz::check(again && *again == url, "an item reads back from its text");
        written += QByteArray::fromStdString(url.text()) + "\r\n";
    }
    fuzz::check(UrlLists::ofUriList(written) == urls, "the items written as a list read the same");
    return 0;
}
