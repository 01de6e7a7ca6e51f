#include "json.h"

std::string JsonLine(const Json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void AddFields(Json& object, const Json& fields) {
    if (!fields.is_object()) return;
    for (const auto& [key, member] : fields.items()) object[key] = member;
}
