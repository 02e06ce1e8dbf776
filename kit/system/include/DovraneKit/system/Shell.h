#pragma once
// Command lines for /bin/sh. The library runs no shell itself: lines that need administrator
// rights (moving into or out of the Trash, copying an update into place, deleting a snapshot)
// go to a closure the application supplies, which asks for the password and runs them.

#include <functional>
#include <string>
#include <string_view>

namespace dovrane::Shell {

// One whole shell command line in, run with administrator rights; true when it ran to its end
// without error. Called from whatever thread needs it, never twice at once by one operation.
using Admin = std::function<bool(const std::string& commandLine)>;

// One single-quoted word for /bin/sh: any text, quotes included, arrives as itself.
std::string quote(std::string_view text);

// The administrator's answer; false when there is no closure or it throws.
bool runAsAdmin(const Admin& admin, const std::string& commandLine);

} // namespace dovrane::Shell
