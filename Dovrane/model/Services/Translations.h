#pragma once
// The application's German texts. They are loaded exactly when the library speaks German too,
// so a window never mixes the two languages.

namespace dovrane::Translations {

// Installs the German catalogue into the running application when the current language is
// German; true when it did.
bool install();

} // namespace dovrane::Translations
