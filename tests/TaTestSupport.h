// Helpers shared by the tests: a scratch directory to work in, files and captured log lines.
#pragma once

#include "app/TaSetup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Runs each test in a fresh temporary directory (the current directory while it runs) and puts
// the file layer and the log back as a new process has them afterwards.
class TaScratchTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file below the scratch directory, making its directories.
    void writeFile(const std::string& relativePath, const std::string& content);
    std::string readFile(const std::string& relativePath) const;
    bool exists(const std::string& relativePath) const;

    std::string m_dir;
    std::string m_previousDirectory;
};

// A scratch test with the engine started on the null driver for each test.
class TaNullEngineTest : public TaScratchTest
{
protected:
    void SetUp() override;
    void TearDown() override;
};

// Collects log lines and message boxes while alive.
class TaLogCapture
{
public:
    TaLogCapture();
    ~TaLogCapture();
    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    std::vector<std::string> titles;
    bool contains(const std::string& text) const;
};

// argv for a list of arguments after the program name.
struct TaArgs {
    explicit TaArgs(std::vector<std::string> arguments) : texts(std::move(arguments))
    {
        texts.insert(texts.begin(), "tarv");
        for (auto& text : texts)
            pointers.push_back(&text[0]);
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> texts;
    std::vector<char*> pointers;
};

// Runs a command through the shell; its exit status.
int taTestRun(const std::string& command);

// Setup parameters of a test engine: `driver`, the null audio output, the data directory when
// given; everything else not given.
// Copies the engine's own effect files and textures (data/shaders, data/textures) into
// `dataDirectory`'s "shaders" and "textures" folders (the
// current directory's when empty), as an engine finds them beside it; files already there stay.
void taTestProvideEngineFiles(const std::string& dataDirectory);
// The sample city copied from `samples` into `dir`/city with the engine's files beside it, the scene
// table registered and `dir`/city made the current directory: whether it could be entered.
bool taTestUseSampleCity(const std::string& dir, const std::string& samples);
STaSetupParams taTestSetup(int driver, const std::string& dataDirectory = "");
// An OpenGL engine of width x height with the simple renderer (or the light pre-pass one) and no
// antialiasing, for pixel tests.
STaSetupParams taTestGLSetup(const std::string& dataDirectory, int width, int height, bool lightPrePass = false);

// What a script's Setup starts while the test runs: `driver` with the null audio output; the
// default parameters again once the test is over.
class TaScriptDriver
{
public:
    explicit TaScriptDriver(int driver);
    ~TaScriptDriver();
};

// No display while alive (messages and dialogs go to standard error, OpenGL cannot start).
class TaNoDisplay
{
public:
    TaNoDisplay();
    ~TaNoDisplay();

private:
    std::string m_display;
};
