#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace pasavel {

std::string systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return "permiso denegado";
    case EROFS:
        return "el disco es de solo lectura";
    case ENOSPC:
        return "no queda espacio en el disco";
    case EDQUOT:
        return "se ha agotado la cuota de disco";
    case EFBIG:
        return "el archivo es demasiado grande";
    case ENOENT:
        return "no existe";
    case ENOTDIR:
        return "parte de la ruta no es una carpeta";
    case EISDIR:
        return "es una carpeta";
    case EIO:
        return "error de lectura o escritura en el disco";
    case EMFILE:
    case ENFILE:
        return "hay demasiados archivos abiertos";
    case ENAMETOOLONG:
        return "el nombre es demasiado largo";
    case EBUSY:
    case ETXTBSY:
        return "el archivo está en uso";
    default:
        return "error del sistema " + std::to_string(errorNumber) + " (" + std::strerror(errorNumber) + ")";
    }
}

} // namespace pasavel
