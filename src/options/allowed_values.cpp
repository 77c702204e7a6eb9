// The named values the options accept. Each list ends with an entry of value -1;
// the two marker lists hold nothing but that entry, whose label names the marker.
#include "options/catalogue.h"

namespace zelt {

namespace option_values {

const allowedVal en_dis[] = {
    {0, "Disabled"},
    {1, "Enabled"},
    {-1, ""},
};

const allowedVal tru_fal[] = {
    {0, "False"},
    {1, "True"},
    {-1, ""},
};

const allowedVal mba_boot_type[] = {
    {0, "Auto_Detect"},
    {1, "BSS"},
    {2, "Interrupt_0x18"},
    {3, "Interrupt_0x19"},
    {-1, ""},
};

const allowedVal mba_link_speed[] = {
    {0, "Auto_negotiation"},
    {1, "1G"},
    {2, "10G"},
    {3, "25G"},
    {4, "40G"},
    {5, "50G"},
    {-1, ""},
};

const allowedVal mba_boot_protocol[] = {
    {0, "PXE"},
    {7, "None"},
    {-1, ""},
};

const allowedVal dcbx_mode[] = {
    {0, "Disabled"},
    {1, "IEEE_Mode"},
    {2, "CEE_Mode"},
    {3, "Both"},
    {-1, ""},
};

const allowedVal mf_mode[] = {
    {1, "Forced_SF"},
    {2, "NPAR_1.0"},
    {-1, ""},
};

const allowedVal link_speed_d0_d3[] = {
    {0, "Auto_negotiate"},
    {1, "1G"},
    {2, "10G"},
    {3, "25G"},
    {4, "40G"},
    {5, "50G"},
    {6, "100G"},
    {7, "200G_PAM4"},
    {8, "50G_PAM4"},
    {9, "100G_PAM4"},
    {14, "2.5G"},
    {15, "100M"},
    {-1, ""},
};

const allowedVal an_protocol[] = {
    {0, "IEEE8023BY_and_BAM"},
    {1, "IEEE8023BY_and_consortium"},
    {2, "IEEE8023BY"},
    {3, "BAM_only"},
    {4, "Consortium_only"},
    {-1, ""},
};

const allowedVal flow_control[] = {
    {0, "Auto"},
    {1, "TX"},
    {2, "RX"},
    {3, "RX_TX"},
    {4, "None"},
    {-1, ""},
};

const allowedVal firmware_speed_cap_mask[] = {
    {1, "1G"},
    {2, "10G"},
    {4, "25G"},
    {8, "40G"},
    {16, "50G"},
    {32, "100G"},
    {16384, "5G"},
    {32768, "100M"},
    {-1, ""},
};

const allowedVal bflink_speed[] = {
    {1, "1G"},
    {2, "10G"},
    {4, "25G"},
    {8, "40G"},
    {16, "50G"},
    {32, "100G"},
    {64, "200G_PAM4"},
    {128, "50G_PAM4"},
    {256, "100G_PAM4"},
    {448, "200G_PAM4|50G_PAM4|100G_PAM4"},
    {16384, "2.5G"},
    {32768, "100M"},
    {-1, ""},
};

const allowedVal secondary_ext_phy_link_speed[] = {
    {0, "Autoneg"},
    {1, "1G"},
    {2, "10G"},
    {3, "25G"},
    {4, "40G"},
    {5, "50G"},
    {6, "100G"},
    {7, "200G_PAM4"},
    {8, "50G_PAM4"},
    {9, "100G_PAM4"},
    {14, "5G"},
    {15, "100M"},
    {-1, ""},
};

const allowedVal fwd_err_correct[] = {
    {0, "Disabled"},
    {1, "CL74_Fire_Code"},
    {2, "CL91_Reed_solomon"},
    {3, "CL74_And_CL91"},
    {4, "RS544 1xN"},
    {8, "RS272 1xN"},
    {16, "RS544 2xN"},
    {32, "RS272 2xN"},
    {-1, ""},
};

const allowedVal network_port_mode[] = {
    {0, "1x10G"},
    {1, "2x10G"},
    {2, "4x10G"},
    {3, "1x25G"},
    {4, "2x25G"},
    {5, "1x40G"},
    {6, "1x50G"},
    {7, "2x10G_2x25G"},
    {8, "2x10G_1x50G"},
    {9, "1x100G"},
    {10, "2x50G"},
    {11, "4x25G"},
    {12, "2x100G"},
    {13, "2x100G_PAM4"},
    {14, "1x200G"},
    {15, "1x100G_PAM4"},
    {16, "1x50G_PAM4"},
    {17, "2x50G_PAM4"},
    {18, "2x200G_PAM4"},
    {-1, ""},
};

const allowedVal tx_ring_mode[] = {
    {0, "Standard_Mode"},
    {1, "Flexible_Mode"},
    {-1, ""},
};

const allowedVal pci_bars_size[] = {
    {1, "64k"},
    {2, "128k"},
    {3, "256k"},
    {4, "512k"},
    {5, "1M"},
    {6, "2M"},
    {7, "4M"},
    {8, "8M"},
    {9, "16M"},
    {10, "32M"},
    {11, "64M"},
    {12, "128M"},
    {13, "256M"},
    {14, "512M"},
    {15, "1G"},
    {-1, ""},
};

const allowedVal vf_pci_bars_size[] = {
    {0, "Disabled"},
    {1, "4K"},
    {2, "8K"},
    {3, "16K"},
    {4, "32K"},
    {5, "64K"},
    {6, "128K"},
    {7, "256K"},
    {8, "512K"},
    {9, "1M"},
    {10, "2M"},
    {11, "4M"},
    {12, "8M"},
    {13, "16M"},
    {14, "32M"},
    {15, "64M"},
    {-1, ""},
};

const allowedVal tunnel_type[] = {
    {1, "VXLAN"},
    {11, "L2_ETYPE"},
    {-1, ""},
};

const allowedVal port_hide[] = {
    {0, "None"},
    {1, "P2 - Valid for 2 port adapter"},
    {4, "P4"},
    {6, "P3|P4"},
    {7, "P2|P3|P4"},
    {-1, ""},
};

const allowedVal port_mask[] = {
    {0, "None"},
    {1, "Port 1"},
    {2, "Port 2"},
    {3, "Port 1|Port 2, the default port selection"},
    {4, "Port 3"},
    {5, "Port 1|Port 3"},
    {6, "Port 2|Port 3"},
    {7, "Port 1|Port 2|Port 3"},
    {8, "Port 4"},
    {9, "Port 1|Port 4"},
    {10, "Port 2|Port 4"},
    {11, "Port 1|Port 2|Port 4"},
    {12, "Port 3|Port 4"},
    {13, "Port 1|Port 3|Port 4"},
    {14, "Port 2|Port 3|Port 4"},
    {15, "Port 1|Port 2|Port 3|Port 4"},
    {-1, ""},
};

const allowedVal evb_mode[] = {
    {0, "VEB"},
    {1, "VEPA"},
    {3, "None"},
    {-1, ""},
};

const allowedVal pcie_relaxed_ordering_cfg[] = {
    {0, "Disabled"},
    {1, "Enabled"},
    {2, "Auto"},
    {-1, ""},
};

const allowedVal afm_resc_strategy[] = {
    {0, "Disabled"},
    {1, "Static"},
    {2, "Dynamic"},
    {-1, ""},
};

const allowedVal logical_link_mode[] = {
    {0, "Auto"},
    {1, "Enabled"},
    {2, "Disabled"},
    {-1, ""},
};

const allowedVal ptp_sync_in_freq_sel[] = {
    {0, "10_MHz"},
    {1, "4_KHz"},
    {2, "8_KHz"},
    {-1, ""},
};

const allowedVal perf_profiles[] = {
    {0, "Default"},
    {1, "RoCE"},
    {-1, ""},
};

const allowedVal rx_buffer_pool_modes[] = {
    {0, "Shared"},
    {1, "Independent"},
    {2, "ECN"},
    {-1, ""},
};

const allowedVal string_format[] = {{-1, "string format"}};
const allowedVal read_only[] = {{-1, "Read Only"}};

}  // namespace option_values

}  // namespace zelt
