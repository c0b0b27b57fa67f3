#pragma once
// A small streaming JSON writer: objects, arrays, strings (escaped), numbers
// and booleans, with commas placed for the caller.

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace korvanta::cli {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(bool flag);
    template <typename Int>
    JsonWriter& field(std::string_view name, Int number) {
        key(name);
        if constexpr (std::is_same_v<Int, bool>)
            return value(number);
        else
            return value(static_cast<std::int64_t>(number));
    }

private:
    void separate();

    std::ostream& m_out;
    std::vector<bool> m_first; // per open container: nothing written yet
    bool m_afterKey = false;
};

} // namespace korvanta::cli
