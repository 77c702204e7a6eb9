// The records discovery fills: one per supported physical function, one per interface
// found in the network stack, and a summary per adapter (functions grouped by the
// serial number they report). The run holds them in its inventory.
#pragma once

#include <cstdint>

namespace zelt::device {

// Fixed text sizes of the records.
inline constexpr int ZELT_NAME_LEN = 256;
inline constexpr int ZELT_SERIAL_LEN = 16;
inline constexpr int ZELT_MAC_TEXT_LEN = 20;
inline constexpr int ZELT_DRIVER_NAME_LEN = 32;
inline constexpr int ZELT_DRIVER_VERSION_LEN = 40;
inline constexpr int ZELT_PCI_CFG_DATA_LEN = 256;

// Capacity of per-function tables; discovery keeps at most ZELT_MAX_FUNCTIONS
// functions and ZELT_MAX_ADAPTERS adapters.
inline constexpr int ZELT_DEVICE_TABLE_LEN = 256;
inline constexpr int ZELT_MAX_FUNCTIONS = 255;
inline constexpr int ZELT_MAX_ADAPTERS = 16;

// A supported function that has no network interface of the adapter driver is named
// by transport::pci_window_name (it is reached through its PCI window).
// Name of a placeholder record kept for a function that has no interface.
inline constexpr const char* ZELT_PLACEHOLDER_NAME = "PCI_DEV";

// Values of `driver_type`.
inline constexpr uint8_t ZELT_DRIVER_MODULE_CHANNEL = 0;  // firmware-channel device present
inline constexpr uint8_t ZELT_DRIVER_BUILT_IN = 1;        // Ethernet driver built into the kernel
inline constexpr uint8_t ZELT_DRIVER_MODULE = 2;          // Ethernet driver loaded as a module
inline constexpr uint8_t ZELT_DRIVER_NONE = 255;

// In the three `valid` flags below, 1 means gathering that part failed (the part is
// incomplete) and 0 means it succeeded.

struct ZELT_NVM_PCI_INFO {
    uint16_t vendor_id;
    uint16_t device_id;
    uint16_t sub_system_vendor_id;
    uint16_t sub_system_device_id;
    uint32_t domain_no;
    uint32_t bus_no;
    uint32_t device_no;
    uint32_t function_no;
    uint32_t pcie_width;
    uint32_t pcie_speed;
    uint32_t chip_rev_id;
    uint32_t bus_type;
    uint8_t revision;
    uint8_t valid;
    uint8_t reserved[2];
    uint8_t cfgData[ZELT_PCI_CFG_DATA_LEN];
};

struct ZELT_NVM_NIC_INFO {
    uint32_t handle;
    uint32_t drv_state;
    uint32_t driver_loaded;
    char driver_name[ZELT_DRIVER_NAME_LEN];
    char driver_version[ZELT_DRIVER_VERSION_LEN];
    char current_mac_addr[ZELT_MAC_TEXT_LEN];
    char permanent_mac_addr[ZELT_MAC_TEXT_LEN];
    char base_mac_addr[ZELT_MAC_TEXT_LEN];
    char dev_name[ZELT_NAME_LEN];
    char description[ZELT_NAME_LEN];
    char product_name[ZELT_NAME_LEN];
    char service_name[ZELT_NAME_LEN];
    char serial_number[ZELT_SERIAL_LEN];
    uint8_t valid;
    uint8_t driver_type;
    bool isRoCE;
};

struct ZELT_NVM_LINK_INFO {
    uint32_t link_status;
    uint32_t duplex_mode;
    uint32_t media_type;
    uint16_t link_speed;  // units of 100 Mb/s
    uint8_t valid;
    uint8_t reserved;
    uint32_t loopback_type;
    uint32_t auto_negotiation_mode;
    uint32_t mtu;
    uint32_t flow_ctrl;
    uint32_t wol_cfg;
    double link_rate;  // line rate in bits per second
};

struct ZELT_NVM_IPV6_ADDR {
    uint8_t addr[16];
    uint32_t prefix_len;
};

struct ZELT_NVM_NIC_IP_INFO {
    char dhcp_enabled[20];
    char ip_addr[20];
    char subnet_mask[20];
    char default_gateway[20];
    uint8_t valid;
    ZELT_NVM_IPV6_ADDR ipv6_unicast;
    ZELT_NVM_IPV6_ADDR ipv6_gateway;
};

struct ZELT_NVM_SRIOV_CAP {
    uint16_t Max_VFs;
    uint16_t Active_VFs;
    uint8_t valid;
    uint8_t reserved[3];
};

// One supported physical function.
struct zelt_nvm_device_info_t {
    ZELT_NVM_PCI_INFO pci_info;
    ZELT_NVM_NIC_INFO nic_info;
    ZELT_NVM_LINK_INFO link_info;
    ZELT_NVM_NIC_IP_INFO ip_info;
    ZELT_NVM_SRIOV_CAP sriov;
};

// One network interface of the adapter driver.
struct zelt_nvm_drv_info_t {
    ZELT_NVM_PCI_INFO pci_info;
    ZELT_NVM_NIC_INFO nic_info;
};

// One adapter: the serial number its functions report, the PCI domain and bus they sit
// on, and how many of them it presents.
struct ZELT_NVM_CHIP_INFO {
    uint16_t active_pf_count;
    uint16_t active_port_count;
    char serial_number[ZELT_SERIAL_LEN];
    uint32_t domain_no;
    uint32_t bus_no;
};

}  // namespace zelt::device
