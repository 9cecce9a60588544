// The restart of the still-image service with Wine's own net command and service: the
// recorded runs of every other test show what is started; this one shows it works.
#include "wine_machine.h"

namespace {

const DWORD ServiceTimeout = 30000;

struct ServiceState {
    DWORD state = 0;
    DWORD processId = 0;
};

ServiceState Query(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    ServiceState result;
    if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof status, &needed)) {
        result.state = status.dwCurrentState;
        result.processId = status.dwProcessId;
    }
    return result;
}

bool WaitForState(SC_HANDLE service, DWORD state) {
    for (DWORD waited = 0; waited < ServiceTimeout; waited += 100) {
        if (Query(service).state == state) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

class ServiceRestart : public winetest::WineMachine {
  protected:
    void SetUp() override {
        winetest::WineMachine::SetUp();
        manager_ = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
        ASSERT_NE(manager_, nullptr);
        service_ =
            OpenServiceA(manager_, "stisvc", SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
        ASSERT_NE(service_, nullptr);
        wasRunning_ = Query(service_).state == SERVICE_RUNNING;
    }

    // The service is left as it was found.
    void TearDown() override {
        if (service_ != NULL && !wasRunning_) {
            SERVICE_STATUS status;
            ControlService(service_, SERVICE_CONTROL_STOP, &status);
            EXPECT_TRUE(WaitForState(service_, SERVICE_STOPPED));
        }
        if (service_ != NULL) {
            CloseServiceHandle(service_);
        }
        if (manager_ != NULL) {
            CloseServiceHandle(manager_);
        }
        winetest::WineMachine::TearDown();
    }

    SC_HANDLE manager_ = NULL;
    SC_HANDLE service_ = NULL;
    bool wasRunning_ = false;
};

TEST_F(ServiceRestart, WineServiceIsStoppedAndStartedAgain) {
    if (!wasRunning_) {
        ASSERT_TRUE(StartServiceA(service_, 0, NULL)) << GetLastError();
    }
    ASSERT_TRUE(WaitForState(service_, SERVICE_RUNNING));
    // The process serving it now ends when the service stops.
    HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, Query(service_).processId);
    ASSERT_NE(host, nullptr);

    const Scenario row = CameraRun("WineService", BothSections, BothSectionsWritten(), {});
    BuildMachine(row);
    winetest::Launch launch;
    launch.recordingNet = false;
    const winetest::Outcome outcome = Start(launch);
    winetest::ExpectQuietRun(outcome);
    winetest::ExpectRegistry(row);
    EXPECT_TRUE(outcome.records.empty()) << "the recording net command ran, not Wine's";

    EXPECT_EQ(WaitForSingleObject(host, ServiceTimeout), WAIT_OBJECT_0)
        << "the service was not stopped";
    CloseHandle(host);
    EXPECT_TRUE(WaitForState(service_, SERVICE_RUNNING)) << "the service was not started again";
    HANDLE newHost = OpenProcess(SYNCHRONIZE, FALSE, Query(service_).processId);
    ASSERT_NE(newHost, nullptr);
    EXPECT_EQ(WaitForSingleObject(newHost, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(newHost);
}

} // namespace
