#include "playback/MidiOutput.h"

namespace korvanta {

MidiResult MidiResult::failure(std::string text) {
    if (text.size() > kMaxErrorTextLength) {
        std::size_t cut = kMaxErrorTextLength;
        // Never leave half of a UTF-8 sequence at the end.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    MidiResult result;
    result.status = kStatusOutputFailed;
    result.message = std::move(text);
    return result;
}

} // namespace korvanta
