#pragma once
// The lists of apps that reach Dovrane from outside: the command line's arguments, a later
// start's message to the running instance, and a drop's text/uri-list. Each reader takes any
// bytes and gives the URLs it can read, in order; what it cannot read is left out.

#include <DovraneKit/core/Url.h>

#include <QByteArray>

#include <cstddef>
#include <string>
#include <vector>

namespace dovrane::UrlLists {

// The URLs of the command line's paths (every argument after the program's name that does not
// start with "--"): a text with a scheme is taken as a URL, anything else as a path, relative
// to folder.
std::vector<Url> ofArguments(const std::vector<std::string>& arguments, const std::string& folder);

// A message to the running instance: one URL per line, as the sender writes them.
struct InstanceMessage {
    std::vector<Url> urls;
    bool cut = false; // part of it was left out
};
// At most maxUrls URLs. A message that was cut short ends in a partial line, which is no URL.
InstanceMessage ofInstanceMessage(const QByteArray& message, bool cutShort, std::size_t maxUrls);
// The message that carries the URLs.
QByteArray instanceMessage(const std::vector<Url>& urls);

// The items of a text/uri-list in order, comments and blank lines left out.
std::vector<Url> ofUriList(const QByteArray& list);

} // namespace dovrane::UrlLists
