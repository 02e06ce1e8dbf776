#pragma once
// One demo text in English and German, chosen by the current language when a value is built.

#include <DovraneKit/Language.h>

#include <string>

namespace dovrane::SeedData {

struct Text {
    const char* english = nullptr;
    const char* german = nullptr; // none: the same in both languages

    constexpr bool empty() const { return english == nullptr; }
    std::string operator()() const { return L(english, german ? german : english); }
};

} // namespace dovrane::SeedData
