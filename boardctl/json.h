// --json output: objects built with nlohmann-json, fields in the order they are added, each
// object written as one line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

using Json = nlohmann::ordered_json;

// The value as one line of JSON, with a newline. Always valid UTF-8: bytes that are not (a file
// name on Linux may hold any) become U+FFFD.
std::string JsonLine(const Json& value);

// `fields`' members after `object`'s own.
void AddFields(Json& object, const Json& fields);
