#include "JsonWriter.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace korvanta::cli;

TEST(JsonWriter, PlacesCommasBetweenMembersAndElements) {
    std::ostringstream out;
    JsonWriter json(out);
    json.beginObject().field("a", 1).key("list").beginArray();
    json.value(std::int64_t{2}).value("x").beginObject().field("ok", true).endObject();
    json.endArray().key("empty").beginArray().endArray().endObject();
    EXPECT_EQ(out.str(), R"({"a":1,"list":[2,"x",{"ok":true}],"empty":[]})");
}

TEST(JsonWriter, EscapesStrings) {
    std::ostringstream out;
    JsonWriter(out).value(std::string_view("q\"b\\n\n\r\t\x01"));
    EXPECT_EQ(out.str(), R"("q\"b\\n\n\r\t\u0001")");
}

TEST(JsonWriter, WritesNegativeAndLargeNumbers) {
    std::ostringstream out;
    JsonWriter json(out);
    json.beginArray().value(std::int64_t{-1}).value(std::int64_t{4294967295}).endArray();
    EXPECT_EQ(out.str(), "[-1,4294967295]");
}
