// The stand-in's devices of the imaging class: present or not, each with its
// hardware-ID and driver key name properties, and the failures the platform can give.
#include "standin.h"
#include "standin_internal.h"

#include <cstring>
#include <map>
#include <set>

namespace {

const GUID imageClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

struct DeviceState {
    standin::Device device;
    int growthLeft;
    std::set<DWORD> given; // the properties a read has copied out whole
};

struct PropertyFault {
    size_t device;
    DWORD property;
    DWORD error;
    standin::FailingReads reads;
};

std::vector<DeviceState> devices;
std::vector<PropertyFault> propertyFaults;
std::map<HDEVINFO, std::vector<size_t>> openSets; // the devices of each set, by index
bool setOpenFails;
int setsOpened;
uintptr_t nextSetHandle;

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The device behind a record that SetupDiEnumDeviceInfo filled, or null.
DeviceState* RecordedDevice(HDEVINFO set, PSP_DEVINFO_DATA record) {
    auto open = openSets.find(set);
    if (open == openSets.end() || record == nullptr || record->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return nullptr;
    }
    for (size_t index : open->second) {
        if (record->Reserved == index + 1) {
            return &devices[index];
        }
    }
    return nullptr;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The error injected into this read of the device's property; 0 when it does not fail.
DWORD InjectedError(const DeviceState& state, DWORD property, bool intoBuffer) {
    const size_t index = static_cast<size_t>(&state - devices.data());
    for (const PropertyFault& fault : propertyFaults) {
        if (fault.device != index || fault.property != property) {
            continue;
        }
        if (fault.reads == standin::FailingReads::Every ||
            (fault.reads == standin::FailingReads::IntoBuffer && intoBuffer) ||
            (fault.reads == standin::FailingReads::AfterGiven &&
             state.given.count(property) != 0)) {
            return fault.error;
        }
    }
    return 0;
}

} // namespace

namespace standin {

void ResetDevices() {
    devices.clear();
    propertyFaults.clear();
    openSets.clear();
    setOpenFails = false;
    setsOpened = 0;
    nextSetHandle = 0x3000;
}

size_t AddDevice(const Device& device) {
    devices.push_back(DeviceState{device, device.hardwareIdGrowth, {}});
    return devices.size() - 1;
}

void FailDeviceProperty(size_t device, DWORD property, DWORD error, FailingReads reads) {
    propertyFaults.push_back(PropertyFault{device, property, error, reads});
}

std::string MultiString(const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids) {
        list += id;
        list += '\0';
    }
    list += '\0';
    return list;
}

std::string DriverName(const std::string& name) {
    return name + std::string(1, '\0');
}

void FailDeviceSetOpen(bool fail) {
    setOpenFails = fail;
}

int OpenDeviceSets() {
    return static_cast<int>(openSets.size());
}

int DeviceSetsOpened() {
    return setsOpened;
}

} // namespace standin

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags) {
    (void)enumerator;
    (void)parent;
    if (setOpenFails || classGuid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<size_t> members;
    for (size_t index = 0; index < devices.size(); ++index) {
        const bool listed = devices[index].device.present || (flags & DIGCF_PRESENT) == 0;
        if (SameGuid(*classGuid, imageClass) && listed) {
            members.push_back(index);
        }
    }
    nextSetHandle += 4;
    HDEVINFO set = reinterpret_cast<HDEVINFO>(nextSetHandle);
    openSets[set] = members;
    ++setsOpened;
    return set;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
    auto open = openSets.find(set);
    if (open == openSets.end()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (index >= open->second.size()) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    device->ClassGuid = imageClass;
    device->DevInst = index + 1;
    device->Reserved = open->second[index] + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA record, DWORD property,
                                       PDWORD dataType, PBYTE buffer, DWORD size,
                                       PDWORD requiredSize) {
    DeviceState* state = RecordedDevice(set, record);
    if (state == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (buffer == nullptr && size != 0) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    const DWORD injected = InjectedError(*state, property, buffer != nullptr);
    if (injected != 0) {
        return Fail(injected);
    }
    const standin::Device& device = state->device;
    const std::string* bytes = nullptr;
    DWORD type = REG_NONE;
    if (property == SPDRP_HARDWAREID) {
        if (!device.hasHardwareIds) {
            return Fail(ERROR_INVALID_DATA);
        }
        if (device.hardwareIdSizeStuck && buffer != nullptr) {
            if (requiredSize != nullptr) {
                *requiredSize = size;
            }
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        // The list changed since the size was reported: it now needs more.
        if (state->growthLeft > 0 && buffer != nullptr && size >= device.hardwareIds.size()) {
            --state->growthLeft;
            if (requiredSize != nullptr) {
                *requiredSize = size + 16;
            }
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        bytes = &device.hardwareIds;
        type = REG_MULTI_SZ;
    } else if (property == SPDRP_DRIVER) {
        if (!device.hasDriver) {
            return Fail(ERROR_INVALID_DATA);
        }
        bytes = &device.driver;
        type = REG_SZ;
    } else {
        return Fail(ERROR_INVALID_DATA);
    }
    const DWORD needed = static_cast<DWORD>(bytes->size());
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (size < needed) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (needed > 0) {
        std::memcpy(buffer, bytes->data(), needed);
    }
    if (dataType != nullptr) {
        *dataType = type;
    }
    state->given.insert(property);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (openSets.erase(set) == 0) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}
