#include "device/mgmt_discovery.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/function_queries.h"
#include "log/print.h"
#include "transport/answer_text.h"
#include "transport/fw_queries.h"
#include "transport/function.h"
#include "transport/mgmt_calls.h"
#include "wire/mgmt_callbacks.h"

namespace zelt::device {

namespace mgmt = wire::mgmt;

namespace {

template <size_t N>
void copy_text(char (&dst)[N], std::string_view src) {
    std::snprintf(dst, N, "%.*s", static_cast<int>(src.size()), src.data());
}

std::string mac_text(const uint8_t* mac) {
    char text[20];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

// The PCI facts of one interface's function; false when it is not a supported PF.
bool fill_pci(const mgmt::NicInfoPayload& nic, zelt_nvm_device_info_t& rec) {
    if (nic.vendor_id != ZELT_PCI_VENDOR_ID || !(nic.flags & mgmt::kNicFlagPhysical)) return false;
    if (zeltnvm_get_func_type(nic.device_id) != ZELT_FUNCTION_PF) return false;
    ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    pci.vendor_id = nic.vendor_id;
    pci.device_id = nic.device_id;
    pci.sub_system_vendor_id = nic.subsys_vendor_id;
    pci.sub_system_device_id = nic.subsys_id;
    pci.domain_no = nic.domain;
    pci.bus_no = nic.bus;
    pci.device_no = nic.device;
    pci.function_no = nic.function;
    pci.revision = nic.revision;
    pci.chip_rev_id = (static_cast<uint32_t>(pci.device_id) << 16) | pci.revision;
    pci.pcie_width = (nic.pcie_link_status >> 4) & 0x3F;
    pci.pcie_speed = nic.pcie_link_status & 0x0F;
    rec.sriov.Max_VFs = nic.vfs_total;
    rec.sriov.Active_VFs = nic.vfs_active;
    return true;
}

// What the firmware reports: MAC addresses, serial number and link speed.
void fill_from_firmware(zelt_nvm_device_info_t& rec, const transport::Function& fn) {
    ZELT_NVM_NIC_INFO& nic = rec.nic_info;
    const ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    const char* name = fn.c_name();
    if (const auto base = base_mac_text(fn); base.ok()) {
        copy_text(nic.base_mac_addr, *base);
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Failed to Get Base MAC\n", name,
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    if (const auto permanent = permanent_mac(fn); permanent.ok()) {
        copy_text(nic.permanent_mac_addr, mac_text(permanent->data()));
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Failed to Get Permanent MAC\n", name,
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    if (const auto serial = serial_number_text(fn); serial.ok()) copy_text(nic.serial_number, *serial);
    if (nic.serial_number[0] == '\0') {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Invalid Device Serial Number\n", name,
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    double rate = 0;
    uint16_t speed = 0;
    const Result rc = transport::zelt_get_link_speed(fn, &rate, &speed);
    if (rc.ok()) {
        rec.link_info.link_speed = speed;
        rec.link_info.link_rate = rate;
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x): Link Speed failed : %d\n", name,
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no, rc.code());
        rec.link_info.valid = 1;
    }
}

bool same_function(const zelt_nvm_device_info_t& a, const zelt_nvm_device_info_t& b) {
    return a.pci_info.domain_no == b.pci_info.domain_no && a.pci_info.bus_no == b.pci_info.bus_no &&
           a.pci_info.device_no == b.pci_info.device_no && a.pci_info.function_no == b.pci_info.function_no;
}

}  // namespace

Result zelt_nvm_discover_by_callbacks(host::MgmtLibrary& library, std::shared_ptr<const transport::Channel> channel,
                                      Inventory& inventory) {
    inventory = Inventory{};
    // The discovery queries share one handle and one request header.
    transport::MgmtSession session(library);
    if (!session.is_open()) return session.open_result();
    mgmt::InterfaceListPayload list{};
    const auto listed = session.invoke("", mgmt::kCbInterfaces, list);
    if (!listed.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Interface list failed with driver status 0x%x (call %d)\n",
                      listed.driver, listed.call);
        return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    }
    const uint64_t count = std::min<uint64_t>(list.count, mgmt::kMaxInterfaces);
    std::vector<zelt_nvm_device_info_t> records;
    for (uint64_t i = 0; i < count; ++i) {
        const std::string ifname(transport::zeltFieldText(list.names[i], sizeof list.names[i]));
        if (ifname.empty()) continue;
        mgmt::NicInfoPayload nic{};
        if (!session.invoke(ifname, mgmt::kCbNicInfo, nic).ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to Get BDF for %s\n", ifname.c_str());
            continue;
        }
        zelt_nvm_device_info_t rec{};
        if (!fill_pci(nic, rec)) continue;
        bool known = false;
        for (const auto& other : records) known = known || same_function(other, rec);
        if (known || records.size() >= static_cast<size_t>(ZELT_MAX_FUNCTIONS)) continue;

        ZELT_NVM_NIC_INFO& info = rec.nic_info;
        copy_text(info.dev_name, ifname);
        copy_text(info.current_mac_addr, mac_text(nic.mac));
        mgmt::DriverInfoPayload driver{};
        if (session.invoke(ifname, mgmt::kCbDriverInfo, driver).ok()) {
            copy_text(info.driver_name, transport::zeltFieldText(driver.driver_name, sizeof driver.driver_name));
            copy_text(info.driver_version,
                      transport::zeltFieldText(driver.driver_version, sizeof driver.driver_version));
        } else {
            info.valid = 1;
        }
        info.driver_loaded = 1;
        info.driver_type = ZELT_DRIVER_MODULE;
        mgmt::LinkInfoPayload link{};
        if (session.invoke(ifname, mgmt::kCbLinkInfo, link).ok()) {
            rec.link_info.link_status = link.link_up ? 1 : 0;
            rec.link_info.mtu = link.mtu;
        } else {
            rec.link_info.valid = 1;
        }
        records.push_back(rec);
    }
    for (auto& rec : records) {
        const char* name = rec.nic_info.dev_name;
        transport::Function fn{std::string(name, strnlen(name, sizeof rec.nic_info.dev_name)),
                               PciAddress{rec.pci_info.domain_no, rec.pci_info.bus_no, rec.pci_info.device_no,
                                          rec.pci_info.function_no},
                               channel};
        fill_from_firmware(rec, fn);
        inventory.add(rec, std::move(fn));
    }
    inventory.group_adapters();
    return Result();
}

}  // namespace zelt::device
