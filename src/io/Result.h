#pragma once
// The one shape in which every reader and writer says how it went: a status
// code (StatusCodes.h; 0 is success), the sentence for the user when it
// failed, and the remarks a reader made on the way ("warning: ..." /
// "error: ..."), which can come with success too. Result<T> adds the value
// read; the value is meaningful only when ok().

#include "io/StatusCodes.h"

#include <string>
#include <utility>
#include <vector>

namespace korvanta {

struct Outcome {
    Status status = kStatusOk;
    std::string message;
    std::vector<std::string> diagnostics;

    bool ok() const { return status == kStatusOk; }
    explicit operator bool() const { return ok(); }

    static Outcome failure(Status status, std::string message) {
        Outcome out;
        out.status = status;
        out.message = std::move(message);
        return out;
    }
};

template <typename T>
struct Result : Outcome {
    T value{};

    Result() = default;
    Result(T v) : value(std::move(v)) {}                     // NOLINT: a success converts
    Result(Outcome outcome) : Outcome(std::move(outcome)) {} // NOLINT: a failure converts

    // The value, as std::optional gives it; meaningful only when ok().
    T& operator*() { return value; }
    const T& operator*() const { return value; }
    T* operator->() { return &value; }
    const T* operator->() const { return &value; }
};

// A failure of a reader (kStatusLoadFailed) or a writer (kStatusSaveFailed).
inline Outcome loadFailure(std::string message) {
    return Outcome::failure(kStatusLoadFailed, std::move(message));
}
inline Outcome saveFailure(std::string message) {
    return Outcome::failure(kStatusSaveFailed, std::move(message));
}

} // namespace korvanta
