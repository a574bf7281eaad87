// The engine log.
#include "core/TaLog.h"

#include "platform/TaPlatform.h"

#include <cstdio>
#include <cstring>

namespace {

struct STaLogState {
    int threshold = ETALOG_INFO;
    bool messageBoxes = true;
    bool hasLastError = false;
    int lastErrorCode = -1;
    char lastError[TA_LOG_TEXT_SIZE] = {};
    char text[TA_LOG_TEXT_SIZE] = {};
    TaMessageBoxHandler boxHandler = nullptr;
    void* boxUser = nullptr;
    TaLogSink sink = nullptr;
    void* sinkUser = nullptr;
};

STaLogState& logState()
{
    static STaLogState state;
    return state;
}

// Writes a finished line to the debug output and standard output.
void writeLine(const char* line)
{
    STaLogState& log = logState();
    if (log.sink) {
        log.sink(line, log.sinkUser);
        return;
    }
    fputs(line, stdout);
    fflush(stdout);
    if (!taPlatformSameOutput(stdout, stderr)) {
        fputs(line, stderr);
        fflush(stderr);
    }
}

// The level a box shows at, for its console form: the log call's, or INFO for a plain box and
// ERROR for a titled one (the file-operation problem).
int g_boxLevel = ETALOG_INFO;

void showMessageBox(const char* text, const char* title, int level)
{
    STaLogState& log = logState();
    const int previous = g_boxLevel;
    g_boxLevel = level;
    if (log.boxHandler)
        log.boxHandler(title, text, log.boxUser);
    else
        taMessageBoxConsole(title, text);
    g_boxLevel = previous;
}

} // namespace

const char* taLogLevelName(int level)
{
    switch (level) {
    case ETALOG_DEBUG: return "DEBUG";
    case ETALOG_INFO: return "INFO";
    case ETALOG_WARN: return "WARN";
    case ETALOG_ERROR: return "ERROR";
    case ETALOG_NONE: return "NONE";
    default: return "???";
    }
}

namespace {
// The whole log call; `code` is the last error's code when the flags ask to remember, set before a
// message box could show (and a handler read it).
void printV(int flags, int code, const char* format, va_list args)
{
    STaLogState& log = logState();
    const int level = flags & ETALOG_LEVELMASK;
    // vsnprintf cuts at the buffer and always terminates.
    vsnprintf(log.text, sizeof(log.text), format, args);

    if (flags & ETALOG_REMEMBER) {
        log.hasLastError = true;
        log.lastErrorCode = code;
        memcpy(log.lastError, log.text, sizeof(log.lastError));
    }
    bool printed = false;
    if (level >= log.threshold && log.threshold < ETALOG_NONE) {
        char line[TA_LOG_TEXT_SIZE + 64];
        snprintf(line, sizeof(line), "%s : %s\n", taLogLevelName(level), log.text);
        writeLine(line);
        printed = true;
    }
    // Without a window the message box is standard error, which the line just reached already.
    const bool boxIsConsole = !log.boxHandler && !log.sink;
    if ((flags & ETALOG_MESSAGEBOX) && log.messageBoxes && !(printed && boxIsConsole))
        showMessageBox(log.text, "Tarv", level);
}

} // namespace

void taPrintV(int flags, const char* format, va_list args)
{
    printV(flags, 0, format, args);
}

void taPrint(int flags, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    taPrintV(flags, format, args);
    va_end(args);
}

void taError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    taPrintV(ETALOG_ERROR | ETALOG_MESSAGEBOX, format, args);
    va_end(args);
}

void taErrorCode(int code, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printV(ETALOG_ERROR | ETALOG_REMEMBER, code, format, args);
    va_end(args);
}

void taErrorCodeBox(int code, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printV(ETALOG_ERROR | ETALOG_REMEMBER | ETALOG_MESSAGEBOX, code, format, args);
    va_end(args);
}

const char* taGetLastError(int* code)
{
    STaLogState& log = logState();
    if (!log.hasLastError) {
        if (code)
            *code = -1;
        return nullptr;
    }
    if (code)
        *code = log.lastErrorCode;
    return log.lastError;
}

void taClearLastError()
{
    STaLogState& log = logState();
    log.hasLastError = false;
    log.lastErrorCode = -1;
    log.lastError[0] = 0;
}

void taSetLogLevel(int level) { logState().threshold = level; }
int taGetLogLevel() { return logState().threshold; }
void taDisableMessageBoxes() { logState().messageBoxes = false; }
void taEnableMessageBoxes() { logState().messageBoxes = true; }
bool taMessageBoxesEnabled() { return logState().messageBoxes; }

void taDebugPrint(const char* format, ...)
{
    char text[TA_LOG_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    writeLine(text);
}

void taPrintCode(int flags, int code, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printV(flags, code, format, args);
    va_end(args);
}

namespace {
void messageBoxV(const char* title, const char* format, va_list args)
{
    char text[TA_LOG_TEXT_SIZE];
    vsnprintf(text, sizeof(text), format, args);
    if (logState().messageBoxes)
        showMessageBox(text, title ? title : "Tarv", title && strcmp(title, "Tarv") != 0 ? ETALOG_ERROR : ETALOG_INFO);
}
} // namespace

void taMessageBoxTitled(const char* title, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    messageBoxV(title, format, args);
    va_end(args);
}

void taMessageBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    messageBoxV("Tarv", format, args);
    va_end(args);
}

void taMessageBoxConsole(const char* title, const char* text)
{
    // The log's own line form; a title other than the engine's goes in front of the text.
    text = text ? text : "";
    const bool ownTitle = !title || strcmp(title, "Tarv") == 0;
    fprintf(stderr, "%s : %s%s%s%s", taLogLevelName(g_boxLevel), ownTitle ? "" : title, ownTitle ? "" : ": ", text,
            (text[0] && text[strlen(text) - 1] == '\n') ? "" : "\n");
    fflush(stderr);
}

void taSetMessageBoxHandler(TaMessageBoxHandler handler, void* user)
{
    logState().boxHandler = handler;
    logState().boxUser = user;
}

void taSetLogSink(TaLogSink sink, void* user)
{
    logState().sink = sink;
    logState().sinkUser = user;
}
