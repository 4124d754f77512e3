#include "engine/hooks.h"

#include <iostream>

namespace engine {

namespace {

Hooks defaultHooks() {
    Hooks h;
    h.yieldPoint = [] {};
    h.messageBox = [](const std::string& text) { std::cerr << text << '\n'; };
    h.chooseSaveFile = [](const std::string&, const std::string&) -> std::optional<std::string> {
        return std::nullopt;
    };
    return h;
}

} // namespace

Hooks& hooks() {
    static Hooks theHooks = defaultHooks();
    return theHooks;
}

void resetHooks() {
    hooks() = defaultHooks();
}

void yieldPoint() {
    if (hooks().yieldPoint)
        hooks().yieldPoint();
}

void messageBox(const std::string& text) {
    if (hooks().messageBox)
        hooks().messageBox(text);
}

std::optional<std::string> chooseSaveFile(const std::string& fileType,
                                          const std::string& defaultName) {
    if (hooks().chooseSaveFile)
        return hooks().chooseSaveFile(fileType, defaultName);
    return std::nullopt;
}

std::mt19937& randomGenerator() {
    static std::mt19937 generator{std::random_device{}()};
    return generator;
}

void seedRandom(std::uint32_t seed) {
    randomGenerator().seed(seed);
}

} // namespace engine
