#pragma once
// Whether the application starts when the user logs in. On Linux that is an XDG autostart
// entry, "$XDG_CONFIG_HOME/autostart/dovrane.desktop", which starts the running program by its
// absolute path.

#include <optional>
#include <string>

namespace dovrane {

class LoginItem {
public:
    virtual ~LoginItem() = default;

    // Adds or removes the item; the reason when that failed.
    virtual std::optional<std::string> set(bool on) = 0;
    // Read afresh from where the item lives.
    virtual bool isOn() const = 0;
};

class AutostartEntry final : public LoginItem {
public:
    // configHome: the XDG configuration folder; executable: the program the entry starts.
    AutostartEntry(std::string configHome, std::string executable);

    std::optional<std::string> set(bool on) override;
    bool isOn() const override;

    // At start: an entry that is on but starts another program (an older build, a moved
    // install) is rewritten for this one; true when the entry now starts this program or is
    // off. Temporary files of earlier writes killed before their rename are removed.
    bool followExecutable();

    std::string path() const;
    // The entry's text; nothing when the Exec key cannot hold this path (none, a line break,
    // or bytes that are not UTF-8).
    static std::optional<std::string> entryText(const std::string& executable);
    // One argument of an Exec key, quoted as the Desktop Entry specification requires and then
    // escaped as a string value.
    static std::string execArgument(const std::string& argument);

private:
    std::string configHome_;
    std::string executable_;
};

} // namespace dovrane
