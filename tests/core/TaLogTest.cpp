// The engine log: threshold, message boxes, the last error and the formatting limit.
#include "core/TaLog.h"

#include "TaTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class TaLogTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        taSetLogLevel(ETALOG_INFO);
        taEnableMessageBoxes();
        taClearLastError();
    }
};

TEST_F(TaLogTest, LinesCarryTheLevelNameAndRespectTheThreshold)
{
    TaLogCapture log;
    taPrint(ETALOG_DEBUG, "hidden %d", 1);
    taPrint(ETALOG_INFO, "shown %d", 2);
    taPrint(7, "odd level");
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "INFO : shown 2\n");
    EXPECT_EQ(log.lines[1], "??? : odd level\n");

    taSetLogLevel(ETALOG_NONE);
    taPrint(ETALOG_ERROR, "silenced");
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(TaLogTest, UserLogHidesInfoAndBoxesButErrorsStillPrint)
{
    TaLogCapture log;
    // What -userlog does.
    taSetLogLevel(ETALOG_WARN);
    taDisableMessageBoxes();
    taPrint(ETALOG_INFO, "progress");
    taError("broken %s", "thing");
    taMessageBox("direct box");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "ERROR : broken thing\n");
    EXPECT_TRUE(log.boxes.empty());
}

TEST_F(TaLogTest, MessageBoxShowsTheTextAsItIs)
{
    TaLogCapture log;
    taError("Failed to load object %s\n", "a.x");
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0], "Failed to load object a.x\n");
}

// Without a window a box goes to standard error in the log's own line form: the level of the log
// call that asked for it, INFO for a plain box, ERROR with the title for a titled one.
TEST_F(TaLogTest, BoxesOnTheConsoleUseTheLogsLineForm)
{
    char name[] = "/tmp/tarv-boxes-XXXXXX";
    const int file = mkstemp(name);
    ASSERT_GE(file, 0);
    fflush(stderr);
    const int saved = dup(2);
    dup2(file, 2);
    taSetLogLevel(ETALOG_NONE); // the log line would stand in for the first box otherwise
    taErrorCodeBox(1, "Setup failed: %s", "fails to createDevice");
    taMessageBox("plain %d", 1);
    taMessageBoxTitled("File Operation Problem", "Cannot detect changes in folder\nFile: 'x'");
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text(4096, 0);
    text.resize(static_cast<size_t>(pread(file, &text[0], text.size(), 0)));
    close(file);
    unlink(name);
    EXPECT_EQ(text, "ERROR : Setup failed: fails to createDevice\n"
                    "INFO : plain 1\n"
                    "ERROR : File Operation Problem: Cannot detect changes in folder\nFile: 'x'\n");
}

TEST_F(TaLogTest, LastErrorKeepsTextAndCode)
{
    int code = 0;
    EXPECT_EQ(taGetLastError(&code), nullptr);
    EXPECT_EQ(code, -1);

    TaLogCapture log;
    taErrorCode(42, "id %d does not exist", 7);
    const char* text = taGetLastError(&code);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "id 7 does not exist");
    EXPECT_EQ(code, 42);
    EXPECT_TRUE(log.boxes.empty());

    taErrorCodeBox(5, "with box");
    EXPECT_EQ(log.boxes.size(), 1u);
    EXPECT_STREQ(taGetLastError(&code), "with box");
    EXPECT_EQ(code, 5);

    // A plain error is not remembered.
    taError("not remembered");
    EXPECT_STREQ(taGetLastError(&code), "with box");

    taClearLastError();
    EXPECT_EQ(taGetLastError(&code), nullptr);
    EXPECT_EQ(code, -1);
}

int g_codeSeenByBox = 0;
void readCodeInBox(const char*, const char*, void*) { taGetLastError(&g_codeSeenByBox); }

// A message box (a window, later) may read the last error: its code is set before the box shows.
TEST_F(TaLogTest, TheBoxSeesTheCode)
{
    taSetMessageBoxHandler(readCodeInBox, nullptr);
    taErrorCodeBox(7, "with code %d", 7);
    taSetMessageBoxHandler(nullptr, nullptr);
    EXPECT_EQ(g_codeSeenByBox, 7);
}

TEST_F(TaLogTest, LongTextsAreCutToTheBuffer)
{
    TaLogCapture log;
    std::string longText(5000, 'a');
    taErrorCodeBox(1, "%s", longText.c_str());
    int code;
    EXPECT_EQ(std::string(taGetLastError(&code)).size(), size_t(TA_LOG_TEXT_SIZE - 1));
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].size(), size_t(TA_LOG_TEXT_SIZE - 1));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "ERROR : " + std::string(TA_LOG_TEXT_SIZE - 1, 'a') + "\n");
}

TEST_F(TaLogTest, LevelNames)
{
    const char* names[] = {"DEBUG", "INFO", "WARN", "ERROR", "NONE", "???"};
    for (int level = 0; level <= 5; ++level)
        EXPECT_STREQ(taLogLevelName(level), names[level]);
    EXPECT_STREQ(taLogLevelName(-1), "???");
}

} // namespace
