#include "DovraneKit/core/NameOrder.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

// Names a disk holds, the awkward ones among them: case, accents, numbers of any length (past
// what fits a machine word), punctuation, other scripts, bytes that are no UTF-8, and names long
// enough that their key outgrows any small buffer.
std::vector<std::string> awkwardNames() {
    std::vector<std::string> names = {"",
                                      "a",
                                      "A",
                                      "b",
                                      "Version 9",
                                      "version 10",
                                      "Version 010",
                                      "Version 9.1",
                                      "Version 9.10",
                                      "file 99999999999999999999999",
                                      "file 100000000000000000000000",
                                      "Äpfel",
                                      "apfel",
                                      "Apfel",
                                      "Zebra",
                                      "über",
                                      "Ueber",
                                      "Straße",
                                      "STRASSE",
                                      "café",
                                      "cafe",
                                      "CAFÉ",
                                      "résumé",
                                      "node_modules",
                                      "node-modules",
                                      ".hidden",
                                      "日本",
                                      "Ελληνικά",
                                      "\xff\xfe broken",
                                      "broken \xc3",
                                      "broken \xe6\x97",
                                      "\xc3\x28 two",
                                      std::string("nul\0inside", 10),
                                      std::string(400, 'x'),
                                      std::string(400, 'x') + "1",
                                      "Ü" + std::string(300, 'u')};
    return names;
}

} // namespace

// Two keys compare byte by byte as the order compares their texts, so a list keyed once sorts
// exactly as one compared name by name, in either language.
TEST(NameOrder, KeysCompareAsTheirTexts) {
    for (const char* language : {"en", "de"}) {
        ScopedEnv lang("APP_LANG", language);
        const NameOrder order;
        const std::vector<std::string> names = awkwardNames();
        std::vector<std::string> keys;
        for (const std::string& name : names)
            keys.push_back(order.key(name));
        for (std::size_t a = 0; a < names.size(); ++a)
            for (std::size_t b = 0; b < names.size(); ++b)
                EXPECT_EQ(sign(keys[a].compare(keys[b])), sign(order.compare(names[a], names[b])))
                    << language << ": \"" << names[a] << "\" and \"" << names[b] << "\"";
    }
}

// A name and a path keyed once sort as tieBreak orders them: by name, then by the path's bytes,
// a name that begins another still before it.
TEST(NameOrder, TieKeysCompareAsTieBreak) {
    const NameOrder order;
    std::vector<std::pair<std::string, std::string>> rows;
    for (const std::string& name : awkwardNames())
        for (const char* path : {"/a", "/a/b", "/B", "", "/\xff"})
            rows.emplace_back(name, path);
    std::vector<std::string> keys;
    for (const auto& [name, path] : rows)
        keys.push_back(order.tieKey(name, path));
    for (std::size_t a = 0; a < rows.size(); ++a)
        for (std::size_t b = 0; b < rows.size(); ++b)
            ASSERT_EQ(sign(keys[a].compare(keys[b])),
                      sign(order.tieBreak(rows[a].first, rows[a].second, rows[b].first, rows[b].second)))
                << "\"" << rows[a].first << "\" " << rows[a].second << " and \"" << rows[b].first << "\" "
                << rows[b].second;
}
