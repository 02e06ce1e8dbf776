#pragma once
// The application's catalogues: German, and English for the forms counted texts take for one.
// The one loaded matches the library's language, so a window never mixes the two languages.

namespace dovrane::Translations {

// Installs the catalogue of the current language into the running application, in place of
// the one installed before, and makes that language's locale the default one; true when the
// catalogue is in.
bool install();

} // namespace dovrane::Translations
