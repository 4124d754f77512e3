#pragma once

#include <string_view>

namespace orizume::service {

// The part-of-speech name of a whitespace word and of everything the program files as "other".
inline constexpr std::string_view specialPartOfSpeech = "特殊";

// Maps an IPADIC feature ("名詞,接尾,人名,*,...") onto one of the thirteen part-of-speech names
// the program knows. A feature outside IPADIC's tag set maps to "特殊", never to an unknown name.
std::string_view mapPartOfSpeech(std::string_view feature);

// Field `index` (0-based) of a comma-separated IPADIC feature; empty when there is none.
std::string_view featureField(std::string_view feature, int index);

} // namespace orizume::service
