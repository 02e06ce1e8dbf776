#pragma once
// Helpers the kit's tests share: temporary folders, fixture files with chosen times and
// sizes, and environment switches that undo themselves.

#include "DovraneKit/core/Date.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::testing {

// A fresh folder in the test program's own folder (under /tmp without one), removed with
// everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "dovrane-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(std::string_view relative) const;

private:
    std::string path_;
};

// A home folder in a TempDir; HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_CACHE_HOME point
// into it while the object lives, so nothing a test runs can reach the real home.
class TempHome {
public:
    TempHome();
    ~TempHome();
    const std::string& path() const { return dir_.path(); }
    std::string operator/(std::string_view relative) const { return dir_ / relative; }

private:
    TempDir dir_;
    std::optional<std::string> savedHome_, savedData_, savedConfig_, savedCache_;
};

// Sets (or, with nullopt, unsets) one environment variable and restores it afterwards. Safe while
// other threads read the environment (see TestSupport.cpp).
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// Creates parent folders as needed. Sizes are written as real data unless sparse.
void writeFile(const std::string& path, std::string_view contents = {});
void writeFileOfSize(const std::string& path, std::uint64_t size);
void makeFolder(const std::string& path);
void makeSymlink(const std::string& target, const std::string& linkPath);
void makeHardLink(const std::string& existing, const std::string& linkPath);
// Sets both access and modification time.
void setTimes(const std::string& path, Date date);
// Sets them recursively, links not followed.
void setTimesRecursively(const std::string& path, Date date);
// Gives the path and everything below it to a user (as root), links not followed.
void chownRecursively(const std::string& path, uid_t user, gid_t group);
Date daysAgo(double days, Date from = Date::now());
// Everything below a folder, links not followed: each relative path with the bytes of its file,
// "/" for a folder or "-> target" for a link. Equal snapshots: the tree is as it was, byte for byte.
std::map<std::string, std::string> snapshotTree(const std::string& folder);
// A JSON document `levels` deep: arrays and objects inside each other around `inner`, alternating.
std::string nestedJson(int levels, const std::string& inner = "1");

// git on the PATH, or nothing.
std::optional<std::string> gitProgram();
// Runs git (`program`) in `folder`; true when it succeeded.
bool git(const std::string& program, const std::string& folder, std::vector<std::string> arguments);

// A listening Unix socket bound at a path; closed (the name stays) when the object goes.
class SocketFile {
public:
    explicit SocketFile(const std::string& path);
    ~SocketFile();
    SocketFile(const SocketFile&) = delete;
    SocketFile& operator=(const SocketFile&) = delete;
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

// Runs `body` in a child process with mounts of its own (a private mount namespace), where it
// may mount freely; the mounts end with the child. The child's report comes back: empty when all
// went well, else what went wrong. Nothing when no such child can mount here (it takes root
// with the right to mount, as in CI).
std::optional<std::string> withPrivateMounts(const std::function<std::string()>& body);
// Inside such a child: a small tmpfs, or another folder bound, at a folder. False on failure.
bool mountTmpfs(const std::string& at);
bool bindMount(const std::string& from, const std::string& at);

// The user a test runs as when it needs an ordinary one, since root may write anywhere: this
// process's own user, or nobody (65534) while this process is root.
struct OrdinaryUser {
    uid_t user;
    gid_t group;
};
OrdinaryUser ordinaryUser();
// Runs `body` as ordinaryUser(): right here, or in a child process that became that user, and
// returns its report ("" when all went well). Give that user the folders it needs first.
std::string asOrdinaryUser(const std::function<std::string()>& body);

// Runs `body` as ordinaryUser() in a private mount namespace on a home kept where image-based
// desktops keep it: a fresh tmpfs on /var holds the home /var/home/u, that user's own, and a
// tmpfs on /home the link /home/u leading there. HOME is "/home/u" and the XDG folders are its
// defaults. `body` gets the home as spelled through the link and as it really is. Nothing when
// no such child can mount here.
std::optional<std::string>
withHomeUnderVar(const std::function<std::string(const std::string& spelled, const std::string& real)>& body);

} // namespace dovrane::testing
