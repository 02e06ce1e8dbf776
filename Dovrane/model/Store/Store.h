#pragma once
// Where the database lives: the file named by APP_STORE (a test store), else Dovrane.store in
// the Dovrane folder of the user's data home. The caches sit beside it.

#include "Services/ModelContainer.h"

#include <DovraneKit/Url.h>

#include <memory>

namespace dovrane::Store {

// The store file. The default folder is created (0700) each time it is worked out; a failure
// to create it is left for the opening to report.
Url url();
// A test store is in use: APP_STORE is set and not empty.
bool isOverridden();
// The opened database. When it cannot be opened the process ends with status 1 and
// "Could not open the database at PATH: REASON" on standard error; the file is left untouched.
std::unique_ptr<ModelContainer> makeContainer();

} // namespace dovrane::Store
