#pragma once
// The style dialog's demonstration: a style's pattern over C major, one chord
// per bar, in the style's own meter, division, base octave and instrument, at
// 120 quarters a minute. It plays through the player's started preview, so
// the window goes on while it sounds.
//
// For the GUI thread, like the player it is given (which must outlive it).
// While an audition sounds the player is busy: the owner starts no play and
// changes no set-up until it has ended or stop() cut it short (see
// Player::startPreview).

#include "playback/Player.h"
#include "styles/StyleRecords.h"

#include <cstdint>
#include <functional>

namespace korvanta::ui {

class StyleAudition {
public:
    static constexpr std::uint32_t kMicrosecondsPerQuarter = 500'000;

    explicit StyleAudition(Player& player) : m_player(player) {}

    // Starts the demonstration and returns at once. False (and nothing
    // happens) while the player plays a song or an audition, or when the
    // style has nothing to play.
    bool play(const StyleRecord& style);
    bool busy() const { return m_player.isPlaying() || m_player.isPreviewing(); }
    // Cuts a running audition short.
    void stop() { m_player.stopPreview(); }

    // play() as the style dialog takes it (TfStyle::setAudition).
    std::function<void(const StyleRecord&)> callback() {
        return [this](const StyleRecord& style) { (void)play(style); };
    }

private:
    Player& m_player;
};

} // namespace korvanta::ui
