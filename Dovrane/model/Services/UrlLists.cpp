#include "Services/UrlLists.h"

#include <DovraneKit/system/FileSystem.h>

#include <QList>

namespace dovrane::UrlLists {

std::vector<Url> ofArguments(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<Url> urls;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.empty() || argument.starts_with("--"))
            continue;
        if (argument.find("://") != std::string::npos) {
            if (auto url = Url::parse(argument))
                urls.push_back(*url);
            continue;
        }
        urls.push_back(Url::fromPath(argument.front() == '/' ? argument : Path::join(folder, argument)));
    }
    return urls;
}

InstanceMessage ofInstanceMessage(const QByteArray& message, bool cutShort, std::size_t maxUrls) {
    InstanceMessage read;
    read.cut = cutShort;
    const QByteArray whole = cutShort ? message.left(message.lastIndexOf('\n') + 1) : message;
    for (const QByteArray& line : whole.split('\n')) {
        if (line.isEmpty())
            continue;
        if (read.urls.size() == maxUrls) {
            read.cut = true;
            break;
        }
        if (auto url = Url::parse(line.toStdString()))
            read.urls.push_back(*url);
    }
    return read;
}

QByteArray instanceMessage(const std::vector<Url>& urls) {
    // URL texts never hold a line break.
    QByteArray message;
    for (const Url& url : urls)
        message += QByteArray::fromStdString(url.text()) + '\n';
    return message;
}

std::vector<Url> ofUriList(const QByteArray& list) {
    std::vector<Url> urls;
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (auto url = Url::parse(line.toStdString()))
            urls.push_back(*url);
    }
    return urls;
}

} // namespace dovrane::UrlLists
