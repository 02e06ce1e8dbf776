#pragma once
// One user's entry in the password database, as this system's reading of it gives it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dovrane::accounts {

struct Account {
    std::string name; // empty when the entry has none
    std::string home; // as written in the entry, possibly empty
};

// Nothing when the database knows no such user.
std::optional<Account> of(std::uint32_t user);

// The home of every entry, as written, in the database's order; empty ones left out.
std::vector<std::string> homes();

} // namespace dovrane::accounts
