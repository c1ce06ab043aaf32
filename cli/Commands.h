#pragma once

// kelvane-cli's commands. Each returns the exit status; a usage error or a failed operation
// is thrown (UsageError, OperationError) and reported by main.

#include "Cli.h"

namespace kelvane::cli {

int rulesCommand(Context& context);
int scanCommand(Context& context);
int largeCommand(Context& context);
int duplicatesCommand(Context& context);
int mapCommand(Context& context);
int cleanCommand(Context& context);
int moveCommand(Context& context);
int quarantineCommand(Context& context);
int historyCommand(Context& context);
int startupCommand(Context& context);
int appsCommand(Context& context);
int settingsCommand(Context& context);

}  // namespace kelvane::cli
