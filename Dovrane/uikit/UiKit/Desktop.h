#pragma once
// The one way windows and pages open a link or show a file in the file manager. Links from
// data (feeds, release notes) pass only as http, https or mailto; anything else is refused.

#include <QUrl>

#include <functional>
#include <string>
#include <vector>

namespace dovrane::Desktop {

using Opener = std::function<bool(const QUrl&)>;

// Who really opens: the workspace service, once there is one; by default the desktop's
// handler. Tests put a recorder here.
void setOpener(Opener opener);

bool isOpenable(const QUrl& url);
// Opens an http, https or mailto URL; refuses (false, nothing opened) anything else.
bool open(const QUrl& url);
// Shows the item selected in the file manager (org.freedesktop.FileManager1.ShowItems over
// D-Bus); where that is missing or fails, opens the folder that holds it. Never waits.
void reveal(const std::string& path);
// Shows several items selected at once; where the file manager cannot, opens each folder that
// holds one of them, once.
void reveal(const std::vector<std::string>& paths);

} // namespace dovrane::Desktop
