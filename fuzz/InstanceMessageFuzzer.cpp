// A later start's message to the running instance, as any local program of the user may send
// it (first byte: whether the message was cut at the size limit): at most the URL limit, a cut
// message reads as its whole lines, and what was read, sent again, reads the same.
#include "FuzzSupport.h"
#include "Services/UrlLists.h"

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool cutShort = data[0] & 1;
    // A small limit, so that inputs reach it.
    const std::size_t maxUrls = 1 + data[0] / 2 % 16;
    const QByteArray message = QByteArray::fromStdString(std::string(fuzz::text(data + 1, size - 1)));

    const UrlLists::InstanceMessage read = UrlLists::ofInstanceMessage(message, cutShort, maxUrls);
    fuzz::check(read.urls.size() <= maxUrls, "no more URLs than the limit");
    fuzz::check(!cutShort || read.cut, "a cut message is reported as cut");
    if (cutShort) {
        const auto whole = UrlLists::ofInstanceMessage(message.left(message.lastIndexOf('\n') + 1), false, maxUrls);
        fuzz::check(whole.urls == read.urls, "a cut message reads as its whole lines");
    }
    const auto again = UrlLists::ofInstanceMessage(UrlLists::instanceMessage(read.urls), false, maxUrls);
    fuzz::check(again.urls == read.urls && !again.cut, "what was read, sent again, reads the same");
    return 0;
}
