#pragma once
// Title, one-sentence explanation and default safety of every category, and the label of
// every safety rating, in the current language.

#include "DovraneKit/scan/ScanModel.h"

#include <string>

namespace dovrane::Explanations {

std::string title(CategoryID id);
std::string text(CategoryID id);
Safety safety(CategoryID id);
std::string label(Safety safety);

} // namespace dovrane::Explanations
