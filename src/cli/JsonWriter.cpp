#include "JsonWriter.h"

#include <cstdio>

namespace korvanta::cli {

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) m_out << ',';
        m_first.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    m_out << '{';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    m_out << '}';
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    m_out << '[';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    m_out << ']';
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    value(name);
    m_out << ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    m_out << '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            m_out << "\\\"";
            break;
        case '\\':
            m_out << "\\\\";
            break;
        case '\n':
            m_out << "\\n";
            break;
        case '\r':
            m_out << "\\r";
            break;
        case '\t':
            m_out << "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                m_out << buf;
            } else {
                m_out << c;
            }
        }
    }
    m_out << '"';
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    m_out << number;
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    m_out << (flag ? "true" : "false");
    return *this;
}

} // namespace korvanta::cli
