// A small JSON writer for --json: objects built field by field, on one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonString(std::string_view text);

class JsonObject {
  public:
    JsonObject& Add(std::string_view key, std::string_view text);
    JsonObject& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
    JsonObject& Add(std::string_view key, long long number);
    JsonObject& Add(std::string_view key, int number) { return Add(key, static_cast<long long>(number)); }
    JsonObject& Add(std::string_view key, bool flag);
    JsonObject& Add(std::string_view key, const std::vector<std::uint8_t>& bytes);  // an array of numbers
    // `json` is already JSON (an object or an array).
    JsonObject& AddRaw(std::string_view key, std::string_view json);
    // `fields` are already JSON fields (`"key":value,...`).
    JsonObject& AddFields(std::string_view fields);
    // The object, with a newline.
    std::string Line() const { return "{" + fields_ + "}\n"; }
    std::string Text() const { return "{" + fields_ + "}"; }

  private:
    JsonObject& Field(std::string_view key, std::string_view json);
    std::string fields_;
};
