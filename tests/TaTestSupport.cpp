// Helpers shared by the tests.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"

#include "app/TaCommandLine.h"
#include "script/TaScriptHost.h"
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "platform/TaPlatform.h"
#include "scene/TaSceneManager.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

void TaScratchTest::SetUp()
{
    char pattern[] = "/tmp/tarv-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_previousDirectory = taPlatformCurrentDirectory();
    ASSERT_EQ(chdir(m_dir.c_str()), 0);
}

void TaScratchTest::TearDown()
{
    taReleaseFilesystem();
    taSetWorkingDirectory("");
    taSetDataDirectory("");
    taSetLogLevel(ETALOG_INFO);
    taEnableMessageBoxes();
    taClearLastError();
    if (chdir(m_previousDirectory.c_str()) != 0)
        ADD_FAILURE() << "cannot return to " << m_previousDirectory;
    taTestRun("rm -rf '" + m_dir + "'");
}

void TaScratchTest::writeFile(const std::string& relativePath, const std::string& content)
{
    std::string path = m_dir + "/" + relativePath;
    taTestRun("mkdir -p '" + taFileDirOf(path) + "'");
    std::ofstream out(path, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::string TaScratchTest::readFile(const std::string& relativePath) const
{
    std::ifstream in(m_dir + "/" + relativePath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TaScratchTest::exists(const std::string& relativePath) const
{
    return taPlatformPathKind((m_dir + "/" + relativePath).c_str()) != ETAPATH_MISSING;
}

namespace {
void captureLine(const char* line, void* user) { static_cast<TaLogCapture*>(user)->lines.push_back(line); }
void captureBox(const char* title, const char* text, void* user)
{
    auto* capture = static_cast<TaLogCapture*>(user);
    capture->boxes.push_back(text);
    capture->titles.push_back(title);
}
} // namespace

TaLogCapture::TaLogCapture()
{
    taSetLogSink(captureLine, this);
    taSetMessageBoxHandler(captureBox, this);
}

TaLogCapture::~TaLogCapture()
{
    taSetLogSink(nullptr, nullptr);
    taSetMessageBoxHandler(nullptr, nullptr);
}

bool TaLogCapture::contains(const std::string& text) const
{
    for (const auto& line : lines)
        if (line.find(text) != std::string::npos)
            return true;
    for (const auto& box : boxes)
        if (box.find(text) != std::string::npos)
            return true;
    return false;
}

int taTestRun(const std::string& command)
{
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void taTestProvideEngineFiles(const std::string& dataDirectory)
{
    const std::string base = dataDirectory.empty() ? std::string(".") : dataDirectory;
    for (const char* folder : {"shaders", "textures"}) {
        const std::string to = base + "/" + folder;
        taTestRun("mkdir -p '" + to + "' && cp -n '" TARV_DATA_DIR "'/" + folder + "/* '" + to + "/'");
    }
}

bool taTestUseSampleCity(const std::string& dir, const std::string& samples)
{
    taTestRun("cp -r '" + samples + "/city' '" + dir + "/city'");
    taTestProvideEngineFiles(dir + "/");
    taRegisterSceneTable();
    return chdir((dir + "/city").c_str()) == 0;
}

STaSetupParams taTestSetup(int driver, const std::string& dataDirectory)
{
    taTestProvideEngineFiles(dataDirectory);
    STaSetupParams params = taDefaultSetupParams();
    params.driver = driver;
    snprintf(params.audio, sizeof(params.audio), "null");
    snprintf(params.dataDirectory, sizeof(params.dataDirectory), "%s", dataDirectory.c_str());
    return params;
}

void TaNullEngineTest::SetUp()
{
    TaScratchTest::SetUp();
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
}

void TaNullEngineTest::TearDown()
{
    taShutdown();
    TaScratchTest::TearDown();
}

STaSetupParams taTestGLSetup(const std::string& dataDirectory, int width, int height, bool lightPrePass)
{
    STaSetupParams params = taTestSetup(ETADRIVER_OPENGL, dataDirectory);
    params.width = width;
    params.height = height;
    params.antialias = 0;
    params.lightPrePass = lightPrePass ? 1 : 0;
    return params;
}

TaScriptDriver::TaScriptDriver(int driver)
{
    STaSetupParams base = taDefaultSetupParams();
    base.driver = driver;
    snprintf(base.audio, sizeof(base.audio), "null");
    // The data directory stays the test program's folder (with the engine's runtime folders beside
    // it) wherever the script host goes.
    snprintf(base.dataDirectory, sizeof(base.dataDirectory), "%s/", taPlatformCurrentDirectory().c_str());
    taSetScriptSetupBase(base);
}

TaScriptDriver::~TaScriptDriver()
{
    taSetScriptSetupBase(taDefaultSetupParams());
}

TaNoDisplay::TaNoDisplay()
{
    const char* display = getenv("DISPLAY");
    m_display = display ? display : "";
    unsetenv("DISPLAY");
}

TaNoDisplay::~TaNoDisplay()
{
    if (!m_display.empty())
        setenv("DISPLAY", m_display.c_str(), 1);
}
