#include "core/Pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <memory>

namespace dovrane {

struct Pattern::Code {
    pcre2_code* compiled = nullptr;
};

Pattern::Pattern(const char* pattern, unsigned options) {
    std::uint32_t flags = 0;
    if (options & unicode)
        flags |= PCRE2_UTF | PCRE2_UCP;
    if (options & whole)
        flags |= PCRE2_ANCHORED | PCRE2_ENDANCHORED;
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* compiled =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, flags, &error, &offset, nullptr);
    if (!compiled)
        return;
    pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE); // optional speed-up; the interpreter serves otherwise
    code_ = new Code{compiled};
}

Pattern::~Pattern() {
    if (code_)
        pcre2_code_free(code_->compiled);
    delete code_;
}

std::optional<Pattern::Match> Pattern::find(std::string_view text, std::size_t from) const {
    if (!code_)
        return std::nullopt;
    std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data*)> data(
        pcre2_match_data_create_from_pattern(code_->compiled, nullptr), pcre2_match_data_free);
    if (!data)
        return std::nullopt;
    int rc = pcre2_match(code_->compiled, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), from,
                         PCRE2_NO_UTF_CHECK, data.get(), nullptr);
    if (rc <= 0)
        return std::nullopt;
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data.get());
    Match match{vector[0], vector[1]};
    for (int i = 1; i < rc && match.group == 0; ++i) {
        if (vector[2 * i] != PCRE2_UNSET && vector[2 * i + 1] >= vector[2 * i]) {
            match.group = i;
            match.groupStart = vector[2 * i];
            match.groupEnd = vector[2 * i + 1];
        }
    }
    return match;
}

std::optional<std::string> Pattern::substitute(std::string_view text, std::string_view replacement) const {
    if (!code_)
        return std::nullopt;
    std::string out(text.size() + 64, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        PCRE2_SIZE length = out.size();
        int rc = pcre2_substitute(code_->compiled, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                  PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH | PCRE2_NO_UTF_CHECK,
                                  nullptr, nullptr, reinterpret_cast<PCRE2_SPTR>(replacement.data()),
                                  replacement.size(), reinterpret_cast<PCRE2_UCHAR*>(out.data()), &length);
        if (rc >= 0) {
            out.resize(length);
            return out;
        }
        if (rc != PCRE2_ERROR_NOMEMORY)
            return std::nullopt;
        out.assign(length + 1, '\0');
    }
    return std::nullopt;
}

} // namespace dovrane
