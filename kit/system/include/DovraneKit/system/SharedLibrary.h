#pragma once
// A shared library opened the first time something needs it, so that libraries only rare work
// uses cost the program's start nothing. Never closed: pointers into it may be held on any
// thread until the process ends.

#include "DovraneKit/core/Expected.h"

#include <mutex>
#include <optional>
#include <string>

namespace dovrane {

class SharedLibrary {
public:
    // fileName as dlopen takes it: a soname searched on the library path, or a path.
    explicit SharedLibrary(std::string fileName);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The named symbol's address, or the loader's reason why there is none. The first call,
    // from whichever thread, opens the library; later ones see the same outcome.
    Expected<void*> symbol(const char* name) const;

    // Sets slot to the named function, typed as the caller declares it. Once one is missing,
    // failure keeps the first reason and later calls leave their slots alone, so a table of
    // functions is filled by a run of calls checked once at the end.
    template <class Function> void bind(Function& slot, const char* name, std::optional<Failure>& failure) const {
        if (failure)
            return;
        auto address = symbol(name);
        if (address)
            slot = reinterpret_cast<Function>(*address);
        else
            failure = address.error();
    }

private:
    std::string fileName_;
    mutable std::once_flag opened_;
    mutable void* handle_ = nullptr;
    mutable std::string openFailure_;
};

} // namespace dovrane
