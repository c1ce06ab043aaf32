#include "platform/Command.h"

#include <glib.h>
#include <sys/wait.h>

namespace kelvane::platform {

CommandResult runCommand(const std::vector<std::string>& argv) {
    CommandResult result;
    if (argv.empty()) {
        return result;
    }
    std::vector<gchar*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const auto& argument : argv) {
        arguments.push_back(const_cast<gchar*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = 0;
    GError* error = nullptr;
    // Without G_SPAWN_CHILD_INHERITS_STDIN the child reads /dev/null: a program that would ask
    // a question fails instead of waiting.
    if (!g_spawn_sync(nullptr, arguments.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                      &out, &err, &status, &error)) {
        g_clear_error(&error);
        return result;
    }
    result.started = true;
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    result.output = std::string(out != nullptr ? out : "") + (err != nullptr ? err : "");
    g_free(out);
    g_free(err);
    return result;
}

}  // namespace kelvane::platform
