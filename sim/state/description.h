// The description of a simulated host: its adapters, their PCI functions and network
// interfaces, and the faults scheduled on them.
//
// A description is written by `zeltsim create` (from the built-in default or from a
// configuration file) after every default has been filled in, so the stored form is
// complete and explicit. It changes only when a fault is added or a host action
// (driver unbind, VF count) changes the host.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace zelt::sim {

using MacAddress = std::array<uint8_t, 6>;

// Driver names of the simulated host.
inline constexpr const char* kEthernetDriver = "zelt_en";
inline constexpr const char* kChannelDriver = "zelt_lfc";
inline constexpr const char* kPassThroughDriver = "vfio-pci";

// One PCI function (physical or virtual) of an adapter.
struct FunctionDesc {
    uint16_t domain = 0;
    uint8_t bus = 0;
    uint8_t dev = 0;
    uint8_t func = 0;
    uint16_t device_id = 0;
    bool is_vf = false;
    unsigned port = 0;           // port the function belongs to
    unsigned pf_index = 0;       // index of the (parent) PF inside the adapter
    std::string ifname;          // network interface; empty when the function has none
    std::string driver;          // bound driver: zelt_en, vfio-pci, or empty
    MacAddress mac{};            // permanent MAC address
    unsigned mtu = 1500;
    bool link_up = true;
    uint16_t link_speed = 0;     // units of 100 Mb/s
    unsigned total_vfs = 0;      // sriov_totalvfs
    unsigned num_vfs = 0;        // sriov_numvfs

    // "dddd:bb:dd.f"
    std::string address() const;
};

// The channel of one SerDes lane, from which the firmware computes its eye: the loss
// shrinks the amplitude and closes the eye horizontally, the random jitter and the
// noise set how fast errors fall off towards the eye's centre.
struct SerdesLaneDesc {
    double loss_db = 6.0;      // channel loss at the lane's Nyquist frequency
    double jitter_ui = 0.01;   // rms random jitter
    double noise_mv = 4.0;     // rms voltage noise at the sampler
    bool operator==(const SerdesLaneDesc&) const = default;
};

// The adapter's SerDes lanes and eye scope. Lanes not listed use `lane`.
struct SerdesDesc {
    SerdesLaneDesc lane;
    std::map<unsigned, SerdesLaneDesc> pcie_lanes;
    std::map<unsigned, SerdesLaneDesc> ethernet_lanes;
    int target_ber_support = -1;  // highest eye-scope target index; -1: by family
    bool bits_pow2 = true;        // eye-scope bit counts are reported as exponents of two
    bool operator==(const SerdesDesc&) const = default;

    const SerdesLaneDesc& pcie(unsigned lane_no) const;
    const SerdesLaneDesc& ethernet(unsigned lane_no) const;
};

// The largest directory entry length a description may give: large enough for a
// directory answer past any limit of the tool, small enough to be served.
inline constexpr uint32_t kMaxDirEntryLength = 1u << 20;

struct AdapterDesc {
    std::string name;                // "adapter0", ...
    uint16_t device_id = 0;          // PF device id
    uint16_t subsys_device_id = 0;
    uint16_t device_type = 0;        // from the supported-device table
    uint8_t revision = 0;
    uint64_t dsn = 0;                // device serial number (configuration space)
    std::string vpd_serial;          // serial number in the VPD and FRU items
    std::string part_number;
    std::string product_name;
    std::string fw_version;          // running firmware "a.b.c.d"
    std::string pkg_version;         // installed package "a.b.c.d"
    std::string pcie_version;        // the factory PCIe table "a.b.c.d"; empty: none
    uint32_t nvm_size = 0;           // bytes of flash
    unsigned ports = 0;
    bool multi_host = false;
    // The newest chips' mailbox is found through its signature block instead of at its
    // usual CTRL address.
    bool indirect_mailbox = false;
    bool secure_boot = true;
    bool ntuple = false;             // n-tuple flow filters (default: device types 8 and above)
    bool trusted_vf = true;          // the firmware can mark VFs trusted
    bool loopback = true;            // the ports can be set to the loopback modes
    bool ptp = false;                // PTP clock with its TSIO pins (default: device types 8 and above)
    bool synce = false;              // synchronous Ethernet (default: device types 8 and above)
    // What the firmware's status query reports: the self-reset status (3: the new
    // firmware needs a cold boot of the system) and the pending boot action status
    // (2: a reboot is pending, 3: a cold boot is pending; 0 reports the run-time one).
    uint8_t self_reset_status = 0;
    uint8_t boot_status = 0;
    // Plugged-in module, as its EEPROM reports it.
    bool module_sfp = false;                // SFP module (else QSFP)
    std::string module_vendor = "HALVEX OPTICS";
    uint8_t cable_length = 3;               // metres
    uint8_t cable_awg = 26;
    uint8_t insertion_loss = 5;
    std::vector<uint16_t> missing_options;  // NVM variables this adapter does not have
    // Bytes per entry the firmware reports for its NVM directory and lays the entries out
    // at (the first bytes of each entry, cut or padded with zeros); 0: the firmware's
    // own length (32).
    uint32_t dir_entry_length = 0;
    SerdesDesc serdes;
    std::vector<FunctionDesc> functions;    // PFs first, then VFs
};

// A scheduled fault. `kind` selects what goes wrong; the other fields narrow it down.
struct FaultDesc {
    std::string kind;            // see faults/faults.h for the kinds
    std::string adapter;         // adapter name; empty: every adapter
    std::string function;        // PCI address or interface name; empty: every function
    int req_type = -1;           // firmware message number; -1: any message
    int ethtool_cmd = -1;        // ethtool command; -1: any command
    uint16_t error_code = 0;
    uint8_t cmd_err = 0;
    int err_no = 0;              // errno of a failing driver call
    unsigned nth = 0;            // fire only on the Nth matching request (1-based); 0: every time
    unsigned value = 0;          // what "self_reset_status" and "boot_status" set; the
                                 // length "dir_length" reports
    int signal = 0;              // the signal "signal" raises
    int dir_type = -1;           // NVM directory type "dir_length" lies about; -1: every type
};

struct HostDesc {
    std::string hostname = "simhost";
    std::string kernel_release = "6.1.0-sim";
    std::string machine = "x86_64";
    bool lfc_device = true;   // the firmware-channel driver is loaded and /dev/zelt_lfc exists
    bool root_user = true;    // commands run with administrative rights
    std::vector<AdapterDesc> adapters;
    std::vector<FaultDesc> faults;

    const AdapterDesc* find_adapter(const std::string& name) const;
};

// The stored JSON form. `host_from_json` also reads configuration files: every field
// left out gets its default, and an adapter without a "functions" list gets one PF per
// port (and its VFs) at consecutive PCI addresses. False, with a message in `error`,
// for malformed input.
nlohmann::json to_json(const HostDesc& host);
bool host_from_json(const nlohmann::json& j, HostDesc& host, std::string& error);

// Makes `count` VFs of the adapter's PF `pf_index` active (sriov_numvfs): VFs are
// added or removed at the PF's routing ids. False when the PF cannot have that many.
bool set_active_vfs(AdapterDesc& adapter, unsigned pf_index, unsigned count);

// Binds the function at `address` to the Ethernet driver again, as an administrator
// would after it was unbound. False with `error` when there is no such function or a
// driver already holds it.
bool bind_ethernet_driver(HostDesc& host, const std::string& address, std::string& error);

// A function and the adapter it belongs to; both null when not found.
struct FunctionRef {
    AdapterDesc* adapter = nullptr;
    FunctionDesc* function = nullptr;
    explicit operator bool() const { return function != nullptr; }
};
FunctionRef find_function(HostDesc& host, uint32_t domain, uint32_t bus, uint32_t dev, uint32_t func);
FunctionRef find_function(HostDesc& host, const std::string& address);
// The function behind a network interface of the Ethernet driver.
FunctionRef find_interface(HostDesc& host, const std::string& ifname);

// The same lookups for requests that only read the description.
struct ConstFunctionRef {
    const AdapterDesc* adapter = nullptr;
    const FunctionDesc* function = nullptr;
    explicit operator bool() const { return function != nullptr; }
};
ConstFunctionRef find_function(const HostDesc& host, uint32_t domain, uint32_t bus, uint32_t dev, uint32_t func);
ConstFunctionRef find_function(const HostDesc& host, const std::string& address);
ConstFunctionRef find_interface(const HostDesc& host, const std::string& ifname);

nlohmann::json fault_to_json(const FaultDesc& fault);
bool fault_from_json(const nlohmann::json& j, FaultDesc& fault, std::string& error);

// The default host: a Kestra adapter and an older Lumo adapter, two ports each.
HostDesc default_host();

std::string format_mac(const MacAddress& mac);
bool parse_mac(const std::string& text, MacAddress& mac);

}  // namespace zelt::sim
