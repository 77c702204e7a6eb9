#include "common/supported_devices.h"

namespace zelt {

// Rows are grouped by device type, PFs before VFs, the rows of one device id together.
const device_info device_info_list[ZELT_DEVICE_TABLE_ROWS + 1] = {
    {0x5101, 0x5101, 1, "OA101", 0, "HVX5B1010"},
    {0x5101, 0xa001, 1, "OA101-1P10G-A", 0, "HVX5B1010"},
    {0x5101, 0xa101, 1, "OA101-2P25G-B", 0, "HVX5B1010"},
    {0x5101, 0xa201, 1, "OA101-2P10G-C", 0, "HVX5B1010"},
    {0x5201, 0x5201, 2, "OA201", 0, "HVX5B2010"},
    {0x5201, 0xa001, 2, "OA201-1P10G-A", 0, "HVX5B2010"},
    {0x5201, 0xa101, 2, "OA201-2P25G-B", 0, "HVX5B2010"},
    {0x5201, 0xa201, 2, "OA201-2P10G-C", 0, "HVX5B2010"},
    {0x5202, 0xa002, 2, "OA202-2P10G-A", 0, "HVX5B2021"},
    {0x5202, 0xa102, 2, "OA202-2P25G-B", 0, "HVX5B2021"},
    {0x5202, 0xa202, 2, "OA202-4P10G-C", 0, "HVX5B2021"},
    {0x5202, 0xa302, 2, "OA202-1P25G-D", 0, "HVX5B2021"},
    {0x5203, 0x5203, 2, "OA203", 0, "HVX5B2032"},
    {0x5203, 0xa003, 2, "OA203-2P10G-A", 0, "HVX5B2032"},
    {0x5203, 0xa103, 2, "OA203-4P25G-B", 0, "HVX5B2032"},
    {0x5203, 0xa203, 2, "OA203-1P10G-C", 0, "HVX5B2032"},
    {0x5204, 0x5204, 2, "OA204", 0, "HVX5B2040"},
    {0x5204, 0xa004, 2, "OA204-4P10G-A", 0, "HVX5B2040"},
    {0x5204, 0xa104, 2, "OA204-1P25G-B", 0, "HVX5B2040"},
    {0x5205, 0xa005, 2, "OA205-1P10G-A", 0, "HVX5B2051"},
    {0x5205, 0xa105, 2, "OA205-2P25G-B", 0, "HVX5B2051"},
    {0x5205, 0xa205, 2, "OA205-2P10G-C", 0, "HVX5B2051"},
    {0x5205, 0xa305, 2, "OA205-4P25G-D", 0, "HVX5B2051"},
    {0x5206, 0x5206, 2, "OA206", 0, "HVX5B2062"},
    {0x5206, 0xa006, 2, "OA206-2P10G-A", 0, "HVX5B2062"},
    {0x5206, 0xa106, 2, "OA206-2P25G-B", 0, "HVX5B2062"},
    {0x5206, 0xa206, 2, "OA206-4P10G-C", 0, "HVX5B2062"},
    {0x5207, 0x5207, 2, "OA207", 0, "HVX5B2070"},
    {0x5207, 0xa007, 2, "OA207-2P10G-A", 0, "HVX5B2070"},
    {0x5207, 0xa107, 2, "OA207-4P25G-B", 0, "HVX5B2070"},
    {0x5207, 0xa207, 2, "OA207-1P10G-C", 0, "HVX5B2070"},
    {0x5208, 0xa008, 2, "OA208-4P10G-A", 0, "HVX5B2081"},
    {0x5208, 0xa108, 2, "OA208-1P25G-B", 0, "HVX5B2081"},
    {0x5209, 0x5209, 2, "OA209", 0, "HVX5B2092"},
    {0x5209, 0xa009, 2, "OA209-1P10G-A", 0, "HVX5B2092"},
    {0x5209, 0xa109, 2, "OA209-2P25G-B", 0, "HVX5B2092"},
    {0x5209, 0xa209, 2, "OA209-2P10G-C", 0, "HVX5B2092"},
    {0x5209, 0xa309, 2, "OA209-4P25G-D", 0, "HVX5B2092"},
    {0x52f1, 0x52f1, 2, "OA2V1", 1, "HVX5B2901"},
    {0x52f2, 0x52f2, 2, "OA2V2", 1, "HVX5B2902"},
    {0x5301, 0x5301, 3, "OA301", 0, "HVX5B3010"},
    {0x5301, 0xa001, 3, "OA301-1P25G-A", 0, "HVX5B3010"},
    {0x5301, 0xa101, 3, "OA301-2P50G-B", 0, "HVX5B3010"},
    {0x5301, 0xa201, 3, "OA301-2P25G-C", 0, "HVX5B3010"},
    {0x5302, 0xa002, 3, "OA302-2P25G-A", 0, "HVX5B3021"},
    {0x5302, 0xa102, 3, "OA302-2P50G-B", 0, "HVX5B3021"},
    {0x5303, 0x5303, 3, "OA303", 0, "HVX5B3032"},
    {0x5303, 0xa003, 3, "OA303-2P25G-A", 0, "HVX5B3032"},
    {0x5303, 0xa103, 3, "OA303-4P50G-B", 0, "HVX5B3032"},
    {0x5303, 0xa203, 3, "OA303-1P25G-C", 0, "HVX5B3032"},
    {0x5304, 0x5304, 3, "OA304", 0, "HVX5B3040"},
    {0x5304, 0xa004, 3, "OA304-4P25G-A", 0, "HVX5B3040"},
    {0x5304, 0xa104, 3, "OA304-1P50G-B", 0, "HVX5B3040"},
    {0x5304, 0xa204, 3, "OA304-2P25G-C", 0, "HVX5B3040"},
    {0x5304, 0xa304, 3, "OA304-2P50G-D", 0, "HVX5B3040"},
    {0x53f1, 0x53f1, 3, "OA3V1", 1, "HVX5B3901"},
    {0x53f2, 0x53f2, 3, "OA3V2", 1, "HVX5B3902"},
    {0x7401, 0xa001, 4, "OA401-1P25G-A", 0, "HVX7L4010"},
    {0x7401, 0xa101, 4, "OA401-2P50G-B", 0, "HVX7L4010"},
    {0x7402, 0x7402, 4, "OA402", 0, "HVX7L4021"},
    {0x7402, 0xa002, 4, "OA402-2P25G-A", 0, "HVX7L4021"},
    {0x7402, 0xa102, 4, "OA402-2P50G-B", 0, "HVX7L4021"},
    {0x7403, 0x7403, 4, "OA403", 0, "HVX7L4032"},
    {0x7403, 0xa003, 4, "OA403-2P25G-A", 0, "HVX7L4032"},
    {0x7403, 0xa103, 4, "OA403-4P50G-B", 0, "HVX7L4032"},
    {0x7403, 0xa203, 4, "OA403-1P25G-C", 0, "HVX7L4032"},
    {0x7404, 0xa004, 4, "OA404-4P25G-A", 0, "HVX7L4040"},
    {0x7404, 0xa104, 4, "OA404-1P50G-B", 0, "HVX7L4040"},
    {0x7404, 0xa204, 4, "OA404-2P25G-C", 0, "HVX7L4040"},
    {0x7404, 0xa304, 4, "OA404-2P50G-D", 0, "HVX7L4040"},
    {0x7405, 0x7405, 4, "OA405", 0, "HVX7L4051"},
    {0x7405, 0xa005, 4, "OA405-1P25G-A", 0, "HVX7L4051"},
    {0x7405, 0xa105, 4, "OA405-2P50G-B", 0, "HVX7L4051"},
    {0x7405, 0xa205, 4, "OA405-2P25G-C", 0, "HVX7L4051"},
    {0x7406, 0x7406, 4, "OA406", 0, "HVX7L4062"},
    {0x7406, 0xa006, 4, "OA406-2P25G-A", 0, "HVX7L4062"},
    {0x7406, 0xa106, 4, "OA406-2P50G-B", 0, "HVX7L4062"},
    {0x7407, 0xa007, 4, "OA407-2P25G-A", 0, "HVX7L4070"},
    {0x7407, 0xa107, 4, "OA407-4P50G-B", 0, "HVX7L4070"},
    {0x7407, 0xa207, 4, "OA407-1P25G-C", 0, "HVX7L4070"},
    {0x7407, 0xa307, 4, "OA407-2P50G-D", 0, "HVX7L4070"},
    {0x7408, 0x7408, 4, "OA408", 0, "HVX7L4081"},
    {0x7408, 0xa008, 4, "OA408-4P25G-A", 0, "HVX7L4081"},
    {0x7408, 0xa108, 4, "OA408-1P50G-B", 0, "HVX7L4081"},
    {0x7408, 0xa208, 4, "OA408-2P25G-C", 0, "HVX7L4081"},
    {0x7409, 0x7409, 4, "OA409", 0, "HVX7L4092"},
    {0x7409, 0xa009, 4, "OA409-1P25G-A", 0, "HVX7L4092"},
    {0x7409, 0xa109, 4, "OA409-2P50G-B", 0, "HVX7L4092"},
    {0x7409, 0xa209, 4, "OA409-2P25G-C", 0, "HVX7L4092"},
    {0x74f1, 0x74f1, 4, "OA4V1", 1, "HVX7L4901"},
    {0x74f2, 0x74f2, 4, "OA4V2", 1, "HVX7L4902"},
    {0x74f3, 0x74f3, 4, "OA4V3", 1, "HVX7L4903"},
    {0x74f4, 0x74f4, 4, "OA4V4", 1, "HVX7L4904"},
    {0x7501, 0xa001, 5, "OA501-1P50G-A", 0, "HVX7L5010"},
    {0x7501, 0xa101, 5, "OA501-2P100G-B", 0, "HVX7L5010"},
    {0x7502, 0x7502, 5, "OA502", 0, "HVX7L5021"},
    {0x7502, 0xa002, 5, "OA502-2P50G-A", 0, "HVX7L5021"},
    {0x7502, 0xa102, 5, "OA502-2P100G-B", 0, "HVX7L5021"},
    {0x7502, 0xa202, 5, "OA502-4P50G-C", 0, "HVX7L5021"},
    {0x7502, 0xa302, 5, "OA502-1P100G-D", 0, "HVX7L5021"},
    {0x7503, 0x7503, 5, "OA503", 0, "HVX7L5032"},
    {0x7503, 0xa003, 5, "OA503-2P50G-A", 0, "HVX7L5032"},
    {0x7503, 0xa103, 5, "OA503-4P100G-B", 0, "HVX7L5032"},
    {0x7503, 0xa203, 5, "OA503-1P50G-C", 0, "HVX7L5032"},
    {0x7504, 0xa004, 5, "OA504-4P50G-A", 0, "HVX7L5040"},
    {0x7504, 0xa104, 5, "OA504-1P100G-B", 0, "HVX7L5040"},
    {0x7505, 0x7505, 5, "OA505", 0, "HVX7L5051"},
    {0x7505, 0xa005, 5, "OA505-1P50G-A", 0, "HVX7L5051"},
    {0x7505, 0xa105, 5, "OA505-2P100G-B", 0, "HVX7L5051"},
    {0x7505, 0xa205, 5, "OA505-2P50G-C", 0, "HVX7L5051"},
    {0x7506, 0x7506, 5, "OA506", 0, "HVX7L5062"},
    {0x7506, 0xa006, 5, "OA506-2P50G-A", 0, "HVX7L5062"},
    {0x7506, 0xa106, 5, "OA506-2P100G-B", 0, "HVX7L5062"},
    {0x7506, 0xa206, 5, "OA506-4P50G-C", 0, "HVX7L5062"},
    {0x7506, 0xa306, 5, "OA506-1P100G-D", 0, "HVX7L5062"},
    {0x7507, 0xa007, 5, "OA507-2P50G-A", 0, "HVX7L5070"},
    {0x7507, 0xa107, 5, "OA507-4P100G-B", 0, "HVX7L5070"},
    {0x7508, 0x7508, 5, "OA508", 0, "HVX7L5081"},
    {0x7508, 0xa008, 5, "OA508-4P50G-A", 0, "HVX7L5081"},
    {0x7508, 0xa108, 5, "OA508-1P100G-B", 0, "HVX7L5081"},
    {0x75f1, 0x75f1, 5, "OA5V1", 1, "HVX7L5901"},
    {0x75f2, 0x75f2, 5, "OA5V2", 1, "HVX7L5902"},
    {0x75f3, 0x75f3, 5, "OA5V3", 1, "HVX7L5903"},
    {0x75f4, 0x75f4, 5, "OA5V4", 1, "HVX7L5904"},
    {0x7601, 0x7601, 6, "OA601", 0, "HVX7L6010"},
    {0x7601, 0xa001, 6, "OA601-1P50G-A", 0, "HVX7L6010"},
    {0x7601, 0xa101, 6, "OA601-2P100G-B", 0, "HVX7L6010"},
    {0x7601, 0xa201, 6, "OA601-2P50G-C", 0, "HVX7L6010"},
    {0x7602, 0xa002, 6, "OA602-2P50G-A", 0, "HVX7L6021"},
    {0x7602, 0xa102, 6, "OA602-2P100G-B", 0, "HVX7L6021"},
    {0x7602, 0xa202, 6, "OA602-4P50G-C", 0, "HVX7L6021"},
    {0x7602, 0xa302, 6, "OA602-1P100G-D", 0, "HVX7L6021"},
    {0x7603, 0x7603, 6, "OA603", 0, "HVX7L6032"},
    {0x7603, 0xa003, 6, "OA603-2P50G-A", 0, "HVX7L6032"},
    {0x7603, 0xa103, 6, "OA603-4P100G-B", 0, "HVX7L6032"},
    {0x7603, 0xa203, 6, "OA603-1P50G-C", 0, "HVX7L6032"},
    {0x7604, 0x7604, 6, "OA604", 0, "HVX7L6040"},
    {0x7604, 0xa004, 6, "OA604-4P50G-A", 0, "HVX7L6040"},
    {0x7604, 0xa104, 6, "OA604-1P100G-B", 0, "HVX7L6040"},
    {0x7605, 0xa005, 6, "OA605-1P50G-A", 0, "HVX7L6051"},
    {0x7605, 0xa105, 6, "OA605-2P100G-B", 0, "HVX7L6051"},
    {0x7605, 0xa205, 6, "OA605-2P50G-C", 0, "HVX7L6051"},
    {0x7605, 0xa305, 6, "OA605-4P100G-D", 0, "HVX7L6051"},
    {0x76f1, 0x76f1, 6, "OA6V1", 1, "HVX7L6901"},
    {0x76f2, 0x76f2, 6, "OA6V2", 1, "HVX7L6902"},
    {0x76f3, 0x76f3, 6, "OA6V3", 1, "HVX7L6903"},
    {0x9801, 0x9801, 8, "OA801", 0, "HVX9K8010"},
    {0x9801, 0xa001, 8, "OA801-1P100G-A", 0, "HVX9K8010"},
    {0x9801, 0xa101, 8, "OA801-2P200G-B", 0, "HVX9K8010"},
    {0x9801, 0xa201, 8, "OA801-2P100G-C", 0, "HVX9K8010"},
    {0x9802, 0x9802, 8, "OA802", 0, "HVX9K8021"},
    {0x9802, 0xa002, 8, "OA802-2P100G-A", 0, "HVX9K8021"},
    {0x9802, 0xa102, 8, "OA802-2P200G-B", 0, "HVX9K8021"},
    {0x9802, 0xa202, 8, "OA802-4P100G-C", 0, "HVX9K8021"},
    {0x9803, 0xa003, 8, "OA803-2P100G-A", 0, "HVX9K8032"},
    {0x9803, 0xa103, 8, "OA803-4P200G-B", 0, "HVX9K8032"},
    {0x9804, 0x9804, 8, "OA804", 0, "HVX9K8040"},
    {0x9804, 0xa004, 8, "OA804-4P100G-A", 0, "HVX9K8040"},
    {0x9804, 0xa104, 8, "OA804-1P200G-B", 0, "HVX9K8040"},
    {0x9804, 0xa204, 8, "OA804-2P100G-C", 0, "HVX9K8040"},
    {0x9804, 0xa304, 8, "OA804-2P200G-D", 0, "HVX9K8040"},
    {0x9805, 0x9805, 8, "OA805", 0, "HVX9K8051"},
    {0x9805, 0xa005, 8, "OA805-1P100G-A", 0, "HVX9K8051"},
    {0x9805, 0xa105, 8, "OA805-2P200G-B", 0, "HVX9K8051"},
    {0x9805, 0xa205, 8, "OA805-2P100G-C", 0, "HVX9K8051"},
    {0x9806, 0xa006, 8, "OA806-2P100G-A", 0, "HVX9K8062"},
    {0x9806, 0xa106, 8, "OA806-2P200G-B", 0, "HVX9K8062"},
    {0x9807, 0x9807, 8, "OA807", 0, "HVX9K8070"},
    {0x9807, 0xa007, 8, "OA807-2P100G-A", 0, "HVX9K8070"},
    {0x9807, 0xa107, 8, "OA807-4P200G-B", 0, "HVX9K8070"},
    {0x9807, 0xa207, 8, "OA807-1P100G-C", 0, "HVX9K8070"},
    {0x9808, 0x9808, 8, "OA808", 0, "HVX9K8081"},
    {0x9808, 0xa008, 8, "OA808-4P100G-A", 0, "HVX9K8081"},
    {0x9808, 0xa108, 8, "OA808-1P200G-B", 0, "HVX9K8081"},
    {0x9808, 0xa208, 8, "OA808-2P100G-C", 0, "HVX9K8081"},
    {0x9808, 0xa308, 8, "OA808-2P200G-D", 0, "HVX9K8081"},
    {0x98f1, 0x98f1, 8, "OA8V1", 1, "HVX9K8901"},
    {0x98f2, 0x98f2, 8, "OA8V2", 1, "HVX9K8902"},
    {0x98f3, 0x98f3, 8, "OA8V3", 1, "HVX9K8903"},
    {0x98f4, 0x98f4, 8, "OA8V4", 1, "HVX9K8904"},
    {0x98f5, 0x98f5, 8, "OA8V5", 1, "HVX9K8905"},
    {0x9901, 0x9901, 9, "OA901", 0, "HVX9K9010"},
    {0x9901, 0xa001, 9, "OA901-1P200G-A", 0, "HVX9K9010"},
    {0x9901, 0xa101, 9, "OA901-2P400G-B", 0, "HVX9K9010"},
    {0, 0, 0, "", 0, ""},
};

std::span<const device_info> zeltnvm_supported_devices() {
    return {device_info_list, static_cast<size_t>(ZELT_DEVICE_TABLE_ROWS)};
}

const device_info* zeltnvm_find_device_row(uint16_t device_id) {
    if (device_id == 0) return nullptr;
    for (const device_info& row : zeltnvm_supported_devices()) {
        if (row.device_id == device_id) return &row;
    }
    return nullptr;
}

const device_info* zeltnvm_find_board_row(uint16_t device_id, uint16_t subsys_device_id) {
    if (device_id == 0) return nullptr;
    for (const device_info& row : zeltnvm_supported_devices()) {
        if (row.device_id == device_id && row.subsys_device_id == subsys_device_id) return &row;
    }
    return zeltnvm_find_device_row(device_id);
}

int zeltnvm_get_func_type(uint16_t device_id) {
    const device_info* row = zeltnvm_find_device_row(device_id);
    return row ? row->function_type : -1;
}

int zeltnvm_table_device_type(uint16_t device_id) {
    const device_info* row = zeltnvm_find_device_row(device_id);
    return row ? row->device_type : -1;
}

const char* zeltnvm_table_chip_number(uint16_t device_id) {
    const device_info* row = zeltnvm_find_device_row(device_id);
    return row ? row->chip_number : device_info_list[ZELT_DEVICE_TABLE_ROWS].chip_number;
}

const char* zeltnvm_table_part_number(uint16_t device_id, uint16_t subsys_device_id) {
    const device_info* row = zeltnvm_find_board_row(device_id, subsys_device_id);
    return row ? row->part_number : device_info_list[ZELT_DEVICE_TABLE_ROWS].part_number;
}

bool is_kestra_device(int device_type) { return device_type == ZELT_DEVICE_TYPE_KESTRA; }

const char* zeltnvm_device_family_name(int device_type) {
    if (device_type >= 1 && device_type <= 3) return "Basil";
    if (device_type >= 4 && device_type <= 6) return "Lumo";
    if (device_type == 8 || device_type == 9) return "Kestra";
    return "";
}

uint16_t zeltnvm_vf_device_id(uint16_t pf_device_id) {
    const device_info* pf = zeltnvm_find_device_row(pf_device_id);
    if (!pf || pf->function_type != ZELT_FUNCTION_PF) return 0;
    for (const device_info& row : zeltnvm_supported_devices()) {
        if (row.device_type == pf->device_type && row.function_type == ZELT_FUNCTION_VF) return row.device_id;
    }
    return 0;
}

}  // namespace zelt
