#pragma once
// TuneQuestions: the questions the song flow puts to the user while it opens,
// harmonizes or closes a song. The window answers them with dialogs, the
// command line from its options or on a terminal, tests with a script. Like
// MessageSink, an implementation outlives the session that asks, and is
// called on the thread that owns the song.

#include "messages/MessageSink.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

// One channel that could carry the melody.
struct ChannelOption {
    int channel = 0;
    int program = -1; // the channel's first program change, -1 when it has none
};

class TuneQuestions {
public:
    virtual ~TuneQuestions() = default;

    // Several channels hold a single-voiced tune: the channel to use, or
    // nothing to give up opening the file.
    virtual std::optional<int> melodyChannel(std::string_view question,
                                             const std::vector<ChannelOption>& channels) = 0;
    // The melody fits a major key and its relative minor alike: Yes takes the
    // minor, No the major, Cancel leaves the chords as they were.
    virtual MessageAnswer minorKey(std::string_view question) = 0;
    // The song has changes not saved: Yes saves them, No drops them, Cancel
    // keeps everything as it is.
    virtual MessageAnswer saveChanges(std::string_view question) = 0;
    // Where to save a song that has never been saved as a project (the save
    // dialog); nothing when the user cancels. suggested is a file name
    // without folder or extension.
    virtual std::optional<std::string> projectPathForSave(std::string_view suggested) = 0;

protected:
    TuneQuestions() = default;
    TuneQuestions(const TuneQuestions&) = default;
    TuneQuestions& operator=(const TuneQuestions&) = default;
};

} // namespace korvanta
