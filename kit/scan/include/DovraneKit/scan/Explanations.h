#pragma once
// Title, one-sentence explanation and default safety of every category, and the label of
// every safety rating, in the current language.

#include "DovraneKit/scan/ScanModel.h"

#include <string>

namespace dovrane::Explanations {

std::string title(CategoryID id);
// On a Linux home, "Your files" and "Old installers" speak of what that home holds: Videos
// rather than Movies, no iCloud Drive, no macOS installer apps.
std::string text(CategoryID id, bool linuxHome = false);
Safety safety(CategoryID id);
std::string label(Safety safety);

} // namespace dovrane::Explanations
