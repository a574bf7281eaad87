// The engine log: levels, flags, the last error, message boxes and the debug output.
#pragma once

#include <cstdarg>

// Log levels: the low 16 bits of a log call's flags word.
enum ETaLogLevel {
    ETALOG_DEBUG = 0,
    ETALOG_INFO = 1,
    ETALOG_WARN = 2,
    ETALOG_ERROR = 3,
    ETALOG_NONE = 4,
};

// Flag bits above the level.
enum ETaLogFlags {
    ETALOG_LEVELMASK = 0xFFFF,
    ETALOG_REMEMBER = 0x10000,   // keep text and code as the last error
    ETALOG_MESSAGEBOX = 0x20000, // also show a message box titled "Tarv"
};

// Size of the formatting buffer: longer texts are cut to TA_LOG_TEXT_SIZE - 1 characters.
constexpr int TA_LOG_TEXT_SIZE = 1024;

#if defined(__GNUC__)
#define TA_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#else
#define TA_PRINTF(fmtIndex, firstArg)
#endif

// The general log call: formats, prints "LEVEL : text\n" when the level reaches the threshold,
// remembers it as the last error and shows a message box as the flags ask.
void taPrint(int flags, const char* format, ...) TA_PRINTF(2, 3);
void taPrintV(int flags, const char* format, va_list args);

// Level ERROR with a message box.
void taError(const char* format, ...) TA_PRINTF(1, 2);
// Level ERROR, remembered with `code` as the last error.
void taErrorCode(int code, const char* format, ...) TA_PRINTF(2, 3);
// Level ERROR, remembered, with a message box.
void taErrorCodeBox(int code, const char* format, ...) TA_PRINTF(2, 3);

// The last remembered error text, or nullptr; `code` receives its code (-1 when there is none).
const char* taGetLastError(int* code);
void taClearLastError();

void taSetLogLevel(int level);
int taGetLogLevel();
void taDisableMessageBoxes();
void taEnableMessageBoxes();
bool taMessageBoxesEnabled();

// Name printed for a level ("DEBUG" ... "NONE", "???" for anything else).
const char* taLogLevelName(int level);

// Formats up to 1023 characters and writes them to the debug output (standard error here) and to
// standard output; once only when both streams are the same file or terminal.
void taDebugPrint(const char* format, ...) TA_PRINTF(1, 2);

// Like taPrint, and when the flags ask to remember, `code` is the last error's code.
void taPrintCode(int flags, int code, const char* format, ...) TA_PRINTF(3, 4);

// Shows a message box titled "Tarv" with the formatted text (up to 1023 characters).
void taMessageBox(const char* format, ...) TA_PRINTF(1, 2);
// The same with another title (the error icon where the platform has one).
void taMessageBoxTitled(const char* title, const char* format, ...) TA_PRINTF(2, 3);

// Where message boxes go. The default writes the box to standard error in the log's line form
// (taMessageBoxConsole); the engine context installs a window of its own once a display exists.
// Pass nullptr to restore the default.
typedef void (*TaMessageBoxHandler)(const char* title, const char* text, void* user);
// A box on standard error: "LEVEL : text" (the level of the log call that asked for the box; INFO
// for a plain box, ERROR for one with its own title, which goes before the text: "ERROR : File
// Operation Problem: ...").
void taMessageBoxConsole(const char* title, const char* text);
void taSetMessageBoxHandler(TaMessageBoxHandler handler, void* user);

// Where log lines go (tests capture them). nullptr restores standard output and standard error.
typedef void (*TaLogSink)(const char* line, void* user);
void taSetLogSink(TaLogSink sink, void* user);
