// The still-image service restart: what is created, waited on and closed, in order.
#include "host_fixture.h"
#include "provisioning.h"

namespace {

struct RestartRow {
    const char* name;
    void (*inject)();
    int result;
    std::vector<std::string> calls;
};

const std::vector<RestartRow> RestartRows = {
    {"BothFinish",
     [] {},
     1,
     {"create net stop stisvc", "wait net stop stisvc 60000", "close net stop stisvc thread",
      "close net stop stisvc process", "create net start stisvc", "close net start stisvc thread",
      "close net start stisvc process"}},
    // The wait is bounded: a stop that hangs still lets the start be issued.
    {"StopNeverFinishes",
     [] { standin::NeverFinish("net stop stisvc"); },
     1,
     {"create net stop stisvc", "wait net stop stisvc 60000", "close net stop stisvc thread",
      "close net stop stisvc process", "create net start stisvc", "close net start stisvc thread",
      "close net start stisvc process"}},
    {"StopCannotStart",
     [] { standin::FailProcessStart("net stop stisvc"); },
     0,
     {"create-failed net stop stisvc", "create net start stisvc", "close net start stisvc thread",
      "close net start stisvc process"}},
    {"StartCannotStart",
     [] { standin::FailProcessStart("net start stisvc"); },
     0,
     {"create net stop stisvc", "wait net stop stisvc 60000", "close net stop stisvc thread",
      "close net stop stisvc process", "create-failed net start stisvc"}},
    {"NoSystemDirectory", [] { standin::SetSystemDirectory(""); }, 0, {}},
    {"SystemDirectoryTooLong",
     [] { standin::SetSystemDirectory("C:\\" + std::string(260, 's')); },
     0,
     {}},
};

void PrintTo(const RestartRow& row, std::ostream* out) {
    *out << row.name;
}

class ImageServiceRestart : public HostMachine, public ::testing::WithParamInterface<RestartRow> {};

TEST_P(ImageServiceRestart, IssuesTheCommandsInOrder) {
    GetParam().inject();
    EXPECT_EQ(RestartImageService(), GetParam().result);
    EXPECT_EQ(standin::ProcessCalls(), GetParam().calls);
    EXPECT_EQ(standin::OpenProcessHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, ImageServiceRestart, ::testing::ValuesIn(RestartRows),
                         [](const ::testing::TestParamInfo<RestartRow>& info) {
                             return std::string(info.param.name);
                         });

// The net command comes from the system directory, whatever other net.exe the
// program's folder or the current directory may hold.
TEST_F(HostMachine, NetCommandIsNamedByItsFullPath) {
    standin::SetSystemDirectory("D:\\WinXP\\System32");
    RestartImageService();
    const std::vector<standin::StartedProcess> started = standin::Processes();
    ASSERT_EQ(started.size(), 2u);
    for (const standin::StartedProcess& process : started) {
        EXPECT_TRUE(process.hasApplication);
        EXPECT_EQ(process.application, "D:\\WinXP\\System32\\net.exe");
    }
}

} // namespace
