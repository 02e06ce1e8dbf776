#include "DovraneKit/system/SharedLibrary.h"

#include <dlfcn.h>

namespace dovrane {

SharedLibrary::SharedLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

Expected<void*> SharedLibrary::symbol(const char* name) const {
    std::call_once(opened_, [this] {
        // Bound in full now, so a library that lacks what it needs fails here, as a value,
        // instead of at some later call.
        handle_ = ::dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* reason = ::dlerror();
            openFailure_ = reason ? reason : fileName_ + ": cannot be opened";
        }
    });
    if (!handle_)
        return Failure{openFailure_};
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address) {
        const char* reason = ::dlerror();
        return Failure{reason ? reason : fileName_ + ": no symbol " + name};
    }
    return address;
}

} // namespace dovrane
