// Port listing from the device folder and sysfs. A built-in port (ttyS*) is
// listed only when sysfs gives it a known UART type (nonzero), because the
// kernel keeps nodes for ports that have no hardware. Links under serial/by-id lead to a
// node that is then not listed a second time.
#include "link/port_list_posix.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs file, or empty.
std::string first_line(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The USB product name of a terminal: the first "product" file in the
// device's folder or up to four folders above it.
std::string usb_product(const std::string& sys_root, const std::string& name) {
    std::error_code error;
    fs::path device = fs::canonical(fs::path(sys_root) / "class/tty" / name / "device", error);
    if (error) return {};
    for (int level = 0; level < 5 && !device.empty(); ++level) {
        const std::string product = first_line(device / "product");
        if (!product.empty()) return product;
        device = device.parent_path();
    }
    return {};
}

bool has_uart(const std::string& sys_root, const std::string& name) {
    const std::string type = first_line(fs::path(sys_root) / "class/tty" / name / "type");
    return !type.empty() && type != "0";
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Sorts ttyUSB2 before ttyUSB10.
bool natural_less(const std::string& a, const std::string& b) {
    const size_t da = a.find_first_of("0123456789");
    const size_t db = b.find_first_of("0123456789");
    if (da != std::string::npos && db != std::string::npos && a.substr(0, da) == b.substr(0, db)) {
        if (a.size() != b.size()) return a.size() < b.size();
    }
    return a < b;
}

}  // namespace

std::vector<SerialPortEntry> list_serial_ports(const std::string& dev_root,
                                               const std::string& sys_root) {
    std::vector<SerialPortEntry> ports;
    std::vector<std::string> linked;  // nodes already reached through a by-id link
    std::error_code error;

    std::vector<std::string> by_id;
    for (const auto& entry : fs::directory_iterator(fs::path(dev_root) / "link/by-id", error)) {
        by_id.push_back(entry.path().string());
    }
    std::sort(by_id.begin(), by_id.end());
    for (const std::string& path : by_id) {
        const fs::path target = fs::canonical(path, error);
        if (error) continue;
        const std::string name = target.filename().string();
        linked.push_back(name);
        ports.push_back({path, usb_product(sys_root, name)});
    }

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(dev_root), error)) {
        const std::string name = entry.path().filename().string();
        const bool usb = starts_with(name, "ttyUSB") || starts_with(name, "ttyACM");
        const bool builtin = starts_with(name, "ttyS") && has_uart(sys_root, name);
        if ((usb || builtin) && std::find(linked.begin(), linked.end(), name) == linked.end()) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), natural_less);
    for (const std::string& name : names) {
        ports.push_back({(fs::path(dev_root) / name).string(), usb_product(sys_root, name)});
    }
    return ports;
}
