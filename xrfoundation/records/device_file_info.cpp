#include "xrfoundation/records/device_file_info.h"

// Every operation of DeviceFileInfo is inline; this unit keeps the record in the library.
