#pragma once
// The engine's only ways out: the application replaces these at start-up;
// tests replace them to observe or drive the engine.

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace engine {

struct Hooks {
    // Called once at the end of every loop iteration; a cooperative thread may switch here.
    std::function<void()> yieldPoint;
    // Shows a modal message and returns once it has been answered.
    std::function<void(const std::string& text)> messageBox;
    // Asks for a file to save to; nullopt when the user cancels.
    std::function<std::optional<std::string>(const std::string& fileType,
                                             const std::string& defaultName)>
        chooseSaveFile;
};

// The hooks in force. Defaults: no-op yield, message to stderr, save cancelled.
Hooks& hooks();
// Restores the defaults (for tests).
void resetHooks();

// Convenience calls that go through hooks().
void yieldPoint();
void messageBox(const std::string& text);
std::optional<std::string> chooseSaveFile(const std::string& fileType,
                                          const std::string& defaultName);

// The engine's one random generator; seeded from the system unless a test seeds it.
std::mt19937& randomGenerator();
void seedRandom(std::uint32_t seed);

} // namespace engine
