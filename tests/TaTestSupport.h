// Helpers shared by the tests: a scratch directory to work in, files and captured log lines.
#pragma once

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

// Runs a command through the shell; its exit status.
int taTestRun(const std::string& command);
