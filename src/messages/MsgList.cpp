// The message table's texts and the rules that pick a message for a status.

#include "messages/MsgList.h"

namespace korvanta {

namespace {

constexpr std::string_view kKeyWarningOnOpen =
    "  Warning!\n\r Can not recognize key of the melody.\n\r Define its key yourself or load "
    "other tune.";
constexpr std::string_view kFragmentTooShort =
    "Submitted fragment is too short to find out its harmony correctly.\n\r Load the most part of "
    "the melody";
constexpr std::string_view kNotMonophonic =
    "Please, submit only monophonic melody - \n\r using only one note sounding at a time.";
constexpr std::string_view kMelodyUnsuitable =
    "Submitted melody is not suitable for harmonization.\n\r It must use at least five different "
    "pitch classes\n\r and lie mostly at MIDI note 48 or higher.";
constexpr std::string_view kNoNotes =
    "There are no notes in this file.\n\r Load a file that holds a melody.";
constexpr std::string_view kKeyUnknown =
    "   Warning! \n\r Can not recognize key of the melody. \n\r Define its key yourself or load "
    "other tune.";
constexpr std::string_view kApplyMinorKey = "Do you want to apply a minor key?";
constexpr std::string_view kManyKeys =
    " Warning!\n\r Maybe accompaniment will not be created correctly.\n\r Probably there are "
    "many keys..\n\r Try it anyway.";
constexpr std::string_view kNoMelodyChannel =
    "No channel of this file holds a usable melody.\n\r A melody must sound one note at a time, "
    "have at least 7 notes,\n\r use at least five different pitch classes and lie mostly at MIDI "
    "note 48 or higher.";
constexpr std::string_view kTooFewNotes =
    "Submitted fragment has too few notes to find out its harmony.\n\r Load a melody of at least "
    "7 notes.";

constexpr std::string_view kCantOpenFile = "Can't open file ";

std::string joined(std::string_view a, std::string_view b) {
    std::string text;
    text.reserve(a.size() + b.size());
    text += a;
    text += b;
    return text;
}

} // namespace

std::string_view statusText(Status status) {
    switch (status) {
    case kStatusNotMonophonic:
        return kNotMonophonic;
    case kStatusTooShort:
        return kFragmentTooShort;
    case kStatusKeyNotRecognised:
        return kKeyWarningOnOpen;
    case kStatusMelodyUnsuitable:
        return kMelodyUnsuitable;
    case kStatusNoNotes:
        return kNoNotes;
    case kStatusKeyUnknown:
        return kKeyUnknown;
    case kStatusKeyAmbiguous:
        return kApplyMinorKey;
    case kStatusManyKeys:
        return kManyKeys;
    case kStatusNoMelodyChannel:
        return kNoMelodyChannel;
    case kStatusTooFewNotes:
        return kTooFewNotes;
    default:
        return {};
    }
}

Message openStatusMessage(Status status, std::string_view path) {
    switch (status) {
    case kStatusOk:
    case kStatusSeveralChannels: // the channel choice, or the user cancelled it
        return {};
    case kStatusKeyNotRecognised:
        return {MessageKind::Warning, std::string(kKeyWarningOnOpen)};
    case kStatusNotMonophonic:
    case kStatusTooShort:
    case kStatusMelodyUnsuitable:
    case kStatusNoNotes:
    case kStatusNoMelodyChannel:
    case kStatusTooFewNotes:
        return {MessageKind::Error, std::string(statusText(status))};
    default:
        return {MessageKind::Error,
                joined(joined(kCantOpenFile, path), " \n\r" + std::to_string(status))};
    }
}

Message unknownFileTypeMessage(std::string_view path) {
    return {MessageKind::Error, joined(kCantOpenFile, path)};
}

std::string noStyleForMeterText(std::string_view meter) {
    std::string text = "There are no accompaniment style \n\r for meter ";
    text.append(meter);
    return text.append(" in our collection.");
}

Message createStatusMessage(Status status) {
    switch (status) {
    case kStatusOk:
        return {};
    case kStatusKeyUnknown:
        return {MessageKind::Error, std::string(kKeyUnknown)};
    case kStatusKeyAmbiguous:
        return {MessageKind::Confirmation, std::string(kApplyMinorKey)};
    case kStatusManyKeys:
        return {MessageKind::Warning, std::string(kManyKeys)};
    default:
        return {MessageKind::Plain, "Error " + std::to_string(status)};
    }
}

std::string visitSiteText(std::string_view site) {
    return "Visit " + std::string(site) + ".";
}

} // namespace korvanta
