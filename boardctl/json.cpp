#include "json.h"

#include <cstdio>

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;  // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Field(std::string_view key, std::string_view json) {
    if (!fields_.empty()) fields_ += ",";
    fields_ += JsonString(key);
    fields_ += ":";
    fields_ += json;
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text) {
    return Field(key, JsonString(text));
}

JsonObject& JsonObject::Add(std::string_view key, long long number) {
    return Field(key, std::to_string(number));
}

JsonObject& JsonObject::Add(std::string_view key, bool flag) { return Field(key, flag ? "true" : "false"); }

JsonObject& JsonObject::Add(std::string_view key, const std::vector<std::uint8_t>& bytes) {
    std::string array = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i) array += (i ? "," : "") + std::to_string(bytes[i]);
    return Field(key, array + "]");
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) { return Field(key, json); }

JsonObject& JsonObject::AddFields(std::string_view fields) {
    if (!fields_.empty() && !fields.empty()) fields_ += ",";
    fields_ += fields;
    return *this;
}
