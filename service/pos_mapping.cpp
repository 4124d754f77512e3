#include "service/pos_mapping.h"

#include <array>
#include <utility>

namespace orizume::service {

namespace {

// The top-level names that are the program's names as they stand.
constexpr std::array<std::string_view, 9> unchanged = {
    "名詞", "動詞", "形容詞", "副詞", "連体詞", "接続詞", "助詞", "助動詞", "感動詞",
};

// Top-level IPADIC names the program calls differently.
constexpr std::array<std::pair<std::string_view, std::string_view>, 4> renamed = {{
    {"記号", "特殊"},
    {"接頭詞", "接頭辞"},
    {"フィラー", "感動詞"},
    {"その他", "特殊"},
}};

} // namespace

std::string_view mapPartOfSpeech(std::string_view feature) {
    const std::string_view top = featureField(feature, 0);
    const std::string_view sub = featureField(feature, 1);
    // Suffixes of every kind (さん, たち, 的, られる, っぽい) are the program's one suffix class,
    // which closes a noun run.
    if (sub == "接尾") {
        return "接尾辞";
    }
    // Only the plain adjectival-noun stem (静か, 綺麗) is an adjectival noun; a dependent one
    // such as みたい stays a noun.
    if (top == "名詞" && sub == "形容動詞語幹") {
        return "形容動詞";
    }
    for (const std::string_view name : unchanged) {
        if (top == name) {
            return name;
        }
    }
    for (const auto& [from, to] : renamed) {
        if (top == from) {
            return to;
        }
    }
    return specialPartOfSpeech;
}

std::string_view featureField(std::string_view feature, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const std::size_t comma = feature.find(',', start);
        if (comma == std::string_view::npos) {
            return {};
        }
        start = comma + 1;
    }
    return feature.substr(start, feature.find(',', start) - start);
}

} // namespace orizume::service
