#include "platform/linux/errno_map.h"

#include <cerrno>

namespace platform::linux {

DWORD windowsErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEDIUM:
        return ERROR_NOT_READY;
    case EIO:
    case EILSEQ:
    case ENODATA:
        return ERROR_CRC;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOTTY:
        return ERROR_INVALID_FUNCTION;  // the device does not know the request
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

}  // namespace platform::linux
