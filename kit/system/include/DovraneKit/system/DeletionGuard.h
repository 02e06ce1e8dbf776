#pragma once
// The one place that decides whether a path may ever be moved to the Trash or deleted: a fixed
// table of protected paths, a list of trees whose contents the tree rules leave alone, and a
// canonical form of paths so that no spelling ("..", links) slips past the table. The home
// layout adds the folders it resolved (a Linux cache home, localized personal folders), protected
// as the macOS folders they stand for. Every home of the machine is known: nothing in a home that
// is not the user's own may go, nor the keys and keyrings of any home.

#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/HomeLayout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

struct DeletionGuard {
    struct Rule {
        enum class Match {
            tree,  // the path itself and everything below it
            exact, // the path itself only
        };

        std::string id;   // reported in a blocked verdict; several rules may share one
        std::string path; // absolute and canonical
        Match match = Match::exact;
        // Tree rules only: a folder strictly inside which the rule does not reach ("/var" leaves
        // "/var/tmp" to its users). Empty for none.
        std::string exceptInside;

        Rule() = default;
        Rule(std::string id_, std::string path_, Match match_, std::string exceptInside_ = {})
            : id(std::move(id_)), path(std::move(path_)), match(match_), exceptInside(std::move(exceptInside_)) {}

        bool operator==(const Rule&) const = default;
    };

    class Verdict {
    public:
        static Verdict allowed() { return Verdict(); }
        static Verdict blocked(std::string rule) { return Verdict(std::move(rule)); }

        bool isAllowed() const { return !rule_; }
        // The id of the rule that blocked the path; absent when allowed.
        const std::optional<std::string>& rule() const { return rule_; }

        bool operator==(const Verdict&) const = default;

    private:
        Verdict() = default;
        explicit Verdict(std::string rule) : rule_(std::move(rule)) {}
        std::optional<std::string> rule_;
    };

    std::string home;                      // canonical
    std::vector<Rule> rules;               // first match wins
    std::vector<std::string> allowedTrees; // tree rules do not cover what is strictly inside
    // The home as the caller spelled it ("/home/u" where "/home" leads to "/var/home"): the same
    // folder as `home`, its paths judged alike.
    std::string homeAsGiven;
    // The home is a folder of `user` (for root: root's home in the
    // password database). Then a system tree rule above it ("/var" over "/var/home/u") does not
    // reach into it; the rules of the home's own places apply there as anywhere.
    bool ownHome = false;
    // The user judged for: the process's own, or for the administrator's mover the user who asked.
    std::uint32_t user = 0;
    // Every other home of the machine, canonical: those of the password database, each folder
    // directly in /home and /var/home (and in each folder DOVRANE_HOME_FOLDERS names, colon
    // separated: it only adds homes, so it can only refuse more), and /root; but not the user's
    // own (`home` when ownHome, the password database's home of `user`) nor one that holds it.
    // Nothing at or inside one of them is allowed. Found when the guard is made, and read then.
    std::vector<std::string> otherHomes;
    // Those and the user's own: in none of them do .ssh, .gnupg or .local/share/keyrings go.
    std::vector<std::string> everyHome;

    // The freedesktop Trash is found through XDG_DATA_HOME, read here.
    explicit DeletionGuard(const HomeLayout& layout, std::vector<Url> sandboxRoots = {});
    // The layout of `home` in the process's environment.
    explicit DeletionGuard(const Url& home, std::vector<Url> sandboxRoots = {});
    // The fixed table alone, without any folder a layout resolves: what a layout checks its
    // candidates against.
    static DeletionGuard fixedTable(const Url& home);
    // The guard for another user, as the administrator's mover judges for the user who asked:
    // that user's home in the password database, its XDG folders their defaults there whatever
    // the environment says; nothing when the database does not know them.
    static std::optional<DeletionGuard> forUser(std::uint32_t user);

    // Reads the file system only to resolve symbolic links.
    Verdict check(const Url& url) const;
    // Only the rules that keep every home apart: another user's home, the keys and keyrings of any
    // home. For the Trash's side of a move, which the whole table protects.
    Verdict checkHomes(const Url& url) const;
    // The path spelled from the canonical home when it lies in the home as given or in a folder
    // that resolves to the home (the home's other spelling, "/home/u" for "/var/home/u" or the
    // reverse); else as it is.
    std::string inCanonicalHome(const std::string& path) const;
    // check() of each URL, in their order. Each folder is resolved once, however many of the URLs
    // it holds and in whatever order they come; each URL then looks only at its own last name.
    std::vector<Verdict> checkEach(const std::vector<Url>& urls) const;

    // Absolute path without ".", "..", repeated slashes or symbolic links in its existing part.
    // ".." is applied to the real folder, as the kernel does, so "dir/link/.." is the parent of
    // the link's target. What does not exist yet is kept as spelled, ".." there is lexical. A
    // relative text is read as absolute; the text ends at a NUL byte, as for every system call.
    static std::string canonical(std::string_view path);

private:
    Verdict verdict(const std::string& canonicalPath) const;
    std::optional<Verdict> homesVerdict(const std::string& canonicalPath) const;
    // Made once from otherHomes and everyHome: each other home, then the keys of every home.
    std::vector<Rule> homeRules_;
    // `dataHome` holds the freedesktop Trash that is actually used.
    DeletionGuard(const Url& home, const std::vector<Url>& layoutFolders, const std::vector<Url>& sandboxRoots,
                  std::uint32_t user, const std::string& dataHome);
};

} // namespace dovrane
