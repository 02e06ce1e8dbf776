#pragma once
// Helpers the kit's tests share: temporary folders, fixture files with chosen times and
// sizes, and environment switches that undo themselves.

#include "DovraneKit/core/Date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// How the helpers here change the environment: setenv and unsetenv, unless a test binary names
// another way (the Qt suites go through Qt's own lock; see QtEnvironment.h beside them).
using EnvironmentWriter = void (*)(const char* name, const std::optional<std::string>& value);
void setEnvironmentWriter(EnvironmentWriter writer);

// Sets (or, with nullopt, unsets) one environment variable and restores it afterwards.
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
Date daysAgo(double days, Date from = Date::now());

} // namespace dovrane::testing
