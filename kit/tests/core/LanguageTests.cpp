#include "DovraneKit/core/Language.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

// The language variables of one environment; nullopt leaves a variable unset.
struct Environment {
    std::optional<std::string> appLang, language, lcAll, lcMessages, lang;
};

class LocaleScope {
public:
    explicit LocaleScope(const Environment& e) {
        set("APP_LANG", e.appLang);
        set("LANGUAGE", e.language);
        set("LC_ALL", e.lcAll);
        set("LC_MESSAGES", e.lcMessages);
        set("LANG", e.lang);
    }

private:
    void set(const char* name, const std::optional<std::string>& value) {
        scopes_.push_back(std::make_unique<ScopedEnv>(name, value));
    }
    std::vector<std::unique_ptr<ScopedEnv>> scopes_;
};

Language languageIn(const Environment& e) {
    LocaleScope scope(e);
    return currentLanguage();
}

constexpr auto none = std::nullopt;

} // namespace
TEST(LanguageChoice, AppLangDecidesWhenExactlyEnOrDe) {
    EXPECT_EQ(languageIn({"de", "en_US", none, none, "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({"en", "de_DE", none, none, "de_DE.UTF-8"}), Language::en);
}

TEST(LanguageChoice, OtherAppLangValuesAreIgnored) {
    for (const char* value : {"DE", "fr", "", "de-DE", " de"}) {
        EXPECT_EQ(languageIn({value, none, none, none, "de_DE.UTF-8"}), Language::de) << '"' << value << '"';
        EXPECT_EQ(languageIn({value, none, none, none, "en_US.UTF-8"}), Language::en) << '"' << value << '"';
    }
}

TEST(LanguageChoice, LocaleVariablesInOrderOfPrecedence) {
    EXPECT_EQ(languageIn({none, "de_DE:en", "en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, none, "de_DE.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, none, "en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, "", "", "de_DE.UTF-8", "en_US.UTF-8"}), Language::de); // empty = unset
    EXPECT_EQ(languageIn({none, none, none, "en_GB.UTF-8", "de_DE.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "de_CH.UTF-8"}), Language::de);
}

TEST(LanguageChoice, OnlyTheFirstPreferredLanguageCounts) {
    EXPECT_EQ(languageIn({none, "de_AT:en", none, none, none}), Language::de);
    EXPECT_EQ(languageIn({none, "de-AT", none, none, none}), Language::de);
    EXPECT_EQ(languageIn({none, "en_GB:de", none, none, "de_DE.UTF-8"}), Language::en);
}

TEST(LanguageChoice, CAndPosixNameNoLanguage) {
    EXPECT_EQ(languageIn({none, none, none, none, none}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "C"}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "C.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, none, "POSIX", none, "de_DE.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, "C", none, none, "de_DE.UTF-8"}), Language::de);
}

TEST(LanguageChoice, PickerFollowsTheEnvironmentAtEveryCall) {
    EXPECT_EQ(languageFromRaw("de"), Language::de);
    EXPECT_FALSE(languageFromRaw("DE"));
    {
        LocaleScope german({"de", none, none, none, none});
        EXPECT_EQ(L("Keep"), "Behalten");
    }
    LocaleScope english({"en", none, none, none, none});
    EXPECT_EQ(L("Keep"), "Keep");
}
