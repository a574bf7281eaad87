// The engine started on the null driver for tarvtool's commands, its messages on standard error.
#pragma once

// False (with a message) when the engine does not start; taShutdown() ends it.
bool taToolStartEngine();
