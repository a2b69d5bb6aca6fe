#include "platform/serial_devices.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <algorithm>
#include <cwctype>
#include <map>

#include "platform/wide_text.h"
#include "port_map.h"

namespace cli::platform {
namespace {

// The number n of "COMn", "\\.\COMn" (any case), else 0.
int ComNumber(std::wstring name) {
    if (name.rfind(L"\\\\.\\", 0) == 0) name.erase(0, 4);
    if (name.size() < 4 || name.size() > 6) return 0;
    if (std::towupper(name[0]) != L'C' || std::towupper(name[1]) != L'O' || std::towupper(name[2]) != L'M') return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') return 0;
        n = n * 10 + (name[i] - L'0');
    }
    return n;
}

std::wstring DosTarget(const std::wstring& name) {
    wchar_t target[1024];
    if (QueryDosDeviceW(name.c_str(), target, static_cast<DWORD>(std::size(target))) == 0) return {};
    return target;
}

// COM port number -> driver device, from the registry's list of serial ports.
void FromSerialComm(std::map<int, std::wstring>& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = static_cast<DWORD>(std::size(valueName));
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG rc =
            RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        if (const int n = ComNumber(data)) ports[n] = valueName;
    }
    RegCloseKey(key);
}

// Every DOS device name COMn (ports that are not in the registry's list, such
// as some virtual ports, still have one).
void FromDosDevices(std::map<int, std::wstring>& ports) {
    std::vector<wchar_t> names(65536);
    DWORD got = 0;
    while ((got = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0 &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < (1u << 22))
        names.resize(names.size() * 2);
    for (const wchar_t* p = names.data(); got != 0 && *p != L'\0'; p += wcslen(p) + 1) {
        const int n = ComNumber(p);
        if (n != 0 && ports.count(n) == 0) ports[n] = DosTarget(p);
    }
}

std::string ComPath(int n) { return "\\\\.\\COM" + std::to_string(n); }

// The class of serial and parallel ports, {4D36E978-E325-11CE-BFC1-08002BE10318}
// (defined here so that no GUID library is needed).
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A text or list-of-texts property of a device; empty when it has none.
std::vector<std::wstring> DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& info, DWORD property) {
    DWORD type = 0, needed = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &info, property, &type, nullptr, 0, &needed);
    if (needed == 0 || needed > (1u << 16)) return {};
    std::vector<wchar_t> buffer(needed / sizeof(wchar_t) + 2, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, property, &type, reinterpret_cast<BYTE*>(buffer.data()), needed,
                                           nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    std::vector<std::wstring> texts;
    for (const wchar_t* p = buffer.data(); *p != L'\0'; p += wcslen(p) + 1) {
        texts.emplace_back(p);
        if (type == REG_SZ) break;
    }
    return texts;
}

// The COM name a port device was given ("COM3"), from its device key.
std::wstring PortName(HDEVINFO set, SP_DEVINFO_DATA& info) {
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t), type = 0;
    const LONG rc = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(name) : std::wstring();
}

// What a job names the port by: COM1..COM9 as they are, the others in the
// device namespace, as the link library opens them.
std::string JobName(int n) { return n < 10 ? "COM" + std::to_string(n) : ComPath(n); }

}  // namespace

std::vector<SerialDeviceName> SerialDevices() {
    std::map<int, std::wstring> ports;
    FromSerialComm(ports);
    FromDosDevices(ports);
    std::vector<SerialDeviceName> out;
    for (const auto& [n, target] : ports) out.push_back({ComPath(n), Utf8FromWide(target)});
    return out;
}

StableNames StableSerialNames(const std::string&) {
    std::map<int, StableDevice> byNumber;
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
            const int n = ComNumber(PortName(set, info));
            if (n == 0) continue;  // a printer port
            StableDevice& d = byNumber[n];
            d.device = JobName(n);
            const auto location = DeviceProperty(set, info, SPDRP_LOCATION_INFORMATION);
            if (!location.empty()) d.location = Utf8FromWide(location.front());
            for (const auto& p : DeviceProperty(set, info, SPDRP_LOCATION_PATHS))
                d.locationPaths.push_back(Utf8FromWide(p));
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    // Ports that SetupAPI does not list (some virtual ones) by their name alone.
    std::map<int, std::wstring> ports;
    FromSerialComm(ports);
    FromDosDevices(ports);
    for (const auto& [n, target] : ports)
        if (byNumber.count(n) == 0) byNumber[n].device = JobName(n);
    StableNames out;
    for (auto& [n, d] : byNumber) out.devices.push_back(std::move(d));
    return out;
}

bool IsDeviceName(const std::string& name) {
    return name.rfind("\\\\.\\", 0) == 0 || ComNumber(WideFromUtf8(name)) > 0 || vantrel::IsNetworkName(name);
}

bool DeviceExists(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (const int n = ComNumber(wide)) return !DosTarget(L"COM" + std::to_wstring(n)).empty();
    return GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string PortOpenProblem(const std::string& path, int port) {
    const std::wstring wide = WideFromUtf8(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        const std::string com = "COM" + std::to_string(port);
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME) {
            const std::string portsFile = vantrel::PortsFilePath();
            return "the device does not exist. Plug in the adapter (Device Manager, Ports (COM & LPT) shows its COM "
                   "number) or start the emulated board, then name the device with --device \\\\.\\COMn (or "
                   "VANTREL_" +
                   com + "=\\\\.\\COMn, or a line " + com + "=\\\\.\\COMn in " +
                   (portsFile.empty() ? std::string("%APPDATA%\\vantrel\\ports.conf") : portsFile) +
                   "); tolvane2-cli ports lists the COM ports present";
        }
        // A COM port is opened by one program at a time: Windows refuses a
        // second open of a port that is there with "access denied".
        const bool isPort = ComNumber(wide) != 0 && DeviceExists(path);
        if (e == ERROR_SHARING_VIOLATION || (e == ERROR_ACCESS_DENIED && isPort))
            return "the port is busy; another program (the editor, another tolvane2-cli, a terminal program) holds "
                   "it. Close that program and try again";
        if (e == ERROR_ACCESS_DENIED)
            return "access denied. The account may not open this device; ask the administrator, or run the tool "
                   "from an account that may";
        return SystemMessage(e);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    std::string reason;
    if (!GetCommState(h, &dcb)) {
        reason = "it is not a serial device";
    } else {
        dcb.BaudRate = 57600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        reason = SetCommState(h, &dcb) ? "it opens now; it was busy or gone a moment ago. Try again"
                                       : "the line settings (57600 baud, 8N1) were refused";
    }
    CloseHandle(h);
    return reason;
}

}  // namespace cli::platform
