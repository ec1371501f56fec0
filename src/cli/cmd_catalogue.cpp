#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "health/attribute_catalogue.h"
#include "platform/text_codec.h"

namespace cli {

int RunCatalogue(const Context& context) {
    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();
    if (context.options.json) {
        JsonWriter json;
        json.beginArray();
        for (int id = 0; id <= 255; ++id) {
            auto byte = static_cast<std::uint8_t>(id);
            json.beginObject()
                .key("id").value(id)
                .key("name").value(catalogue.AttributeName(byte))
                .key("description").value(catalogue.AttributeDescription(byte))
                .endObject();
        }
        json.endArray();
        std::printf("%s\n", json.text().c_str());
        return kExitDone;
    }
    for (int id = 0; id <= 255; ++id) {
        auto byte = static_cast<std::uint8_t>(id);
        std::printf("%03d  %-34s %s\n", id, platform::cp1252ToUtf8(catalogue.AttributeName(byte)).c_str(),
                    platform::cp1252ToUtf8(catalogue.AttributeDescription(byte)).c_str());
    }
    return kExitDone;
}

}  // namespace cli
