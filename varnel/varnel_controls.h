// Control numbers of Varnel's main dialog (template 102).
#pragma once

enum VarnelControl : int {
    IDC_READ_DISPLAY = 1000,
    IDC_READ_START = 1001,
    IDC_READ = 1002,
    IDC_WRITE_DATA = 1003,
    IDC_WRITE_START = 1004,
    IDC_WRITE = 1005,
    IDC_READ_LENGTH = 1006,
    IDC_CLEAR_READ = 1007,
    IDC_CLEAR_WRITE = 1008,
};
