#include "platform/Uuid.h"

#include <uuid.h>

namespace kelvane::platform {

std::string makeUUID() {
    uuid_t id;
    uuid_generate_random(id);
    char text[37];
    uuid_unparse_upper(id, text);
    return text;
}

}  // namespace kelvane::platform
