#pragma once
// What the stand-in tools and the benchmark programs share: fixed argument forms, --help, errors
// to standard error only, exit status 0 for success, 1 for a failure and 2 for arguments the
// program does not take, refused before anything is written.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace dovrane::tool {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usageError = 2;

inline std::vector<std::string> arguments(int argc, char** argv) {
    // Names inside archives are bytes; a UTF-8 character type keeps libarchive from refusing
    // the ones that are not ASCII.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return std::vector<std::string>(argv + 1, argv + argc);
}

inline int fail(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
    return failure;
}

// A whole decimal number from min to max, nothing else.
inline std::optional<long long> number(const std::string& text, long long min, long long max) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stopped, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stopped != end || value < min || value > max)
        return std::nullopt;
    return value;
}

// The argument forms a program takes. A word in capitals stands for one argument of the
// caller's (never empty, never an option: "-" alone is a value), in brackets for one that may
// be left off at the end; every other word stands for itself.
class Forms {
public:
    Forms(const char* program, std::vector<std::vector<std::string>> forms, std::string details = {})
        : program_(program), forms_(std::move(forms)), details_(std::move(details)) {}

    const char* program() const { return program_; }

    // The index of the first form the arguments fit.
    std::optional<std::size_t> match(const std::vector<std::string>& args) const {
        for (std::size_t i = 0; i < forms_.size(); ++i)
            if (fits(args, forms_[i]))
                return i;
        return std::nullopt;
    }

    // What to answer arguments that fit no form: the usage on standard output for --help (or
    // -h) alone, else why they are refused and the usage on standard error.
    int answer(const std::vector<std::string>& args) const {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            std::printf("%s", usage().c_str());
            return std::fflush(stdout) == 0 ? success : failure;
        }
        return refuse(reason(args));
    }

    // Refuses arguments that fit a form but not what it stands for (a count that is no number).
    int refuse(const std::string& reason) const {
        std::fprintf(stderr, "%s: %s\n%s", program_, reason.c_str(), usage().c_str());
        return usageError;
    }

    // The argument at `index` as a whole number from min to max, `fallback` when it was left off;
    // nothing, after refusing it, when it is anything else.
    std::optional<long long> number(const std::vector<std::string>& args, std::size_t index, const char* name,
                                    long long fallback, long long min, long long max) const {
        if (index >= args.size())
            return fallback;
        if (auto value = tool::number(args[index], min, max))
            return value;
        refuse(std::string(name) + " must be a whole number from " + std::to_string(min) + " to " +
               std::to_string(max) + ", not '" + args[index] + "'");
        return std::nullopt;
    }

private:
    static bool isOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

    static bool isPlaceholder(const std::string& word) {
        return !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) {
            return std::isupper(c) || std::isdigit(c) || c == '_';
        });
    }

    static bool isOptional(const std::string& word) {
        return word.size() > 2 && word.front() == '[' && word.back() == ']';
    }

    static std::size_t required(const std::vector<std::string>& form) {
        return std::size_t(std::count_if(form.begin(), form.end(), [](const auto& word) { return !isOptional(word); }));
    }

    static bool fits(const std::vector<std::string>& args, const std::vector<std::string>& form) {
        if (args.size() < required(form) || args.size() > form.size())
            return false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const bool value = isOptional(form[i]) || isPlaceholder(form[i]);
            if (value ? args[i].empty() || isOption(args[i]) : args[i] != form[i])
                return false;
        }
        return true;
    }

    std::string reason(const std::vector<std::string>& args) const {
        std::set<std::string> known;
        std::set<std::size_t> counts;
        for (const auto& form : forms_) {
            known.insert(form.begin(), form.end());
            for (std::size_t n = required(form); n <= form.size(); ++n)
                counts.insert(n);
        }
        for (const auto& arg : args)
            if (isOption(arg) && !known.contains(arg))
                return "unknown option '" + arg + "'";
        if (!counts.contains(args.size())) {
            std::string taken;
            for (auto n = counts.begin(); n != counts.end(); ++n)
                taken += (n == counts.begin() ? "" : std::next(n) == counts.end() ? " or " : ", ") + std::to_string(*n);
            return "takes " + taken + " argument" + (counts.size() == 1 && *counts.begin() == 1 ? "" : "s") + ", not " +
                   std::to_string(args.size());
        }
        return "the arguments fit none of its forms";
    }

    std::string usage() const {
        std::string text;
        for (std::size_t i = 0; i < forms_.size(); ++i) {
            text += i == 0 ? "usage: " : "       ";
            text += program_;
            for (const auto& word : forms_[i])
                text += " " + word;
            text += "\n";
        }
        return details_.empty() ? text : text + details_ + "\n";
    }

    const char* program_;
    std::vector<std::vector<std::string>> forms_;
    std::string details_;
};

} // namespace dovrane::tool
