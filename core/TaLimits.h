// Sizes of the engine's fixed fields and tables that every layer shares.
#pragma once

// Size of the engine's fixed path fields, terminating zero included.
constexpr int TA_MAX_PATH = 260;
