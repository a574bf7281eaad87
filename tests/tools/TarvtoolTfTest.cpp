// tarvtool tf: the commands a demo maker runs on a document, with their outputs and exit codes.
#include "TaTestSupport.h"

#include <string>

namespace {

class TarvtoolTfTest : public TaScratchTest
{
protected:
    int tool(const std::string& arguments)
    {
        return taTestRun(std::string(TARV_TOOL) + " " + arguments + " > out.txt 2> err.txt");
    }
};

TEST_F(TarvtoolTfTest, CommandsAndExitCodes)
{
    writeFile("city.tscn", "# hand-written\n"
                           "{ Scene\n"
                           "  { SceneInfo\n"
                           "    FramesPerSecond FP 25\n"
                           "  }\n"
                           "  { Camera\n"
                           "    Position FP_C [\n"
                           "      RUN 3 1.5 DAT 2 0.25 0.5\n"
                           "      DAT 2 0 10\n"
                           "      RUN 5 -1\n"
                           "    ]\n"
                           "    Rotation FP_C [\n"
                           "      DAT 2 0 3\n"
                           "      RUN 2 0\n"
                           "      RUN 2 0\n"
                           "    ]\n"
                           "    Fov FP_C RUN 3 1.5 DAT 2 0.25 0.5\n"
                           "    Pair FP_C [\n"
                           "      RUN 2 1\n"
                           "      RUN 2 2\n"
                           "    ]\n"
                           "    Name STR \"Main camera\"\n"
                           "  }\n"
                           "}\n");
    ASSERT_EQ(tool("tf tobin city.tscn city.lws.ini.bin"), 0) << readFile("err.txt");
    ASSERT_EQ(tool("tf totext city.lws.ini.bin again.tscn"), 0) << readFile("err.txt");
    ASSERT_EQ(tool("tf dump city.tscn"), 0);
    const std::string dumped = readFile("out.txt");
    EXPECT_EQ(readFile("again.tscn"), dumped);
    EXPECT_NE(dumped.find("    Name STR \"Main camera\"\n"), std::string::npos) << dumped;

    ASSERT_EQ(tool("tf stat city.lws.ini.bin"), 0);
    const std::string stat = readFile("out.txt");
    EXPECT_NE(stat.find("form: binary"), std::string::npos) << stat;
    EXPECT_NE(stat.find("entries: 9 (nodes 3, values 3, arrays 3)"), std::string::npos) << stat;
    EXPECT_NE(stat.find("tracks: 9"), std::string::npos) << stat;

    struct { const char* arguments; const char* output; } evaluations[] = {
        {"tf eval city.tscn Scene/Camera/Fov 2.5", "0.875\n"},
        {"tf eval city.lws.ini.bin Scene/Camera/Position 0.5", "1.5 5 -1\n"},
        {"tf eval city.tscn Scene/Camera/Rotation 0.5 slerp", "0 1.5000001 0\n"},
        {"tf eval city.tscn Scene/SceneInfo/FramesPerSecond 9", "25\n"},
    };
    for (const auto& e : evaluations) {
        ASSERT_EQ(tool(e.arguments), 0) << e.arguments << readFile("err.txt");
        EXPECT_EQ(readFile("out.txt"), e.output) << e.arguments;
    }

    struct { const char* arguments; int status; const char* message; } failures[] = {
        {"tf eval city.tscn Scene/Nope/Fov 1", 1, "no entry 'Nope' in 'Scene/'"},
        {"tf eval city.tscn Scene/Camera/Name 1", 1, "is not an FP or FP_C entry"},
        {"tf eval city.tscn Scene/Camera/Fov soon", 2, "'soon' is not a sample position"},
        // A rotation needs three tracks: the interpolator's zeros are not an answer.
        {"tf eval city.tscn Scene/Camera/Pair 1 slerp", 1, "is not a value the HPB rotation interpolation takes"},
        {"tf dump missing.tscn", 1, "'missing.tscn' is not a readable TF document"},
        {"tf stat", 2, "usage: tarvtool tf"},
        {"tf tobin city.tscn", 2, "usage"},
        {"tf tobin city.tscn no-such-dir/x.bin", 1, "cannot write 'no-such-dir/x.bin'"},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(tool(f.arguments), f.status) << f.arguments;
        EXPECT_NE(readFile("err.txt").find(f.message), std::string::npos) << f.arguments << ": " << readFile("err.txt");
    }
}

} // namespace
