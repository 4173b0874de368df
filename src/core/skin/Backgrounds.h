#pragma once

#include "core/skin/Background.h"
#include "core/skin/Skin.h"

#include <optional>
#include <vector>

class Random;

// Chooses a skin's background pictures from its folder: one of back*.* at random, one of
// back<hour>.* for the hour, the first main*.* of a Tyme skin, or the frames of an animation in
// turn. Frames are loaded and traced once per skin, so an animation touches no file as it runs.
class Backgrounds {
public:
    static constexpr int maxFrames = 1000;

    explicit Backgrounds(Random& random)
        : m_random(random)
    { }

    // A new skin: its frames when it is animated, and the animation back at its first frame.
    void prepare(const QString& folder, const Skin& skin);

    // The picture for the hour (0 to 12); the built-in picture where the folder has none to
    // offer; nothing when the file chosen cannot be loaded.
    std::optional<Background> choose(const QString& folder, const Skin& skin, int hour);

    int frameCount() const { return int(m_frames.size()); }

private:
    std::optional<Background> nextFrame();

    Random& m_random;
    std::vector<Background> m_frames; // a null picture where a frame could not be loaded
    int m_nextFrame = 0; // 1..N; 0 right after prepare()
};
