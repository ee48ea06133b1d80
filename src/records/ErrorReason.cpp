#include "ErrorReason.h"

namespace records {

std::u16string errorReason(int error) {
  switch (error) {
    case ENOSPC:
      return u"no queda espacio en el disco";
    case kDiskQuotaExceeded:
      return u"se ha superado la cuota de disco";
    case EACCES:
    case EPERM:
      return u"no hay permiso de acceso";
    case EISDIR:
      return u"es una carpeta";
    case EROFS:
      return u"el disco es de solo lectura";
    case EIO:
      return u"error de lectura o escritura en el disco";
    case ENOENT:
      return u"el archivo o su carpeta no existe";
    case ENOTDIR:
      return u"una parte de la ruta no es una carpeta";
    case EFBIG:
      return u"el archivo es demasiado grande";
    case EMFILE:
    case ENFILE:
      return u"hay demasiados archivos abiertos";
    case ENAMETOOLONG:
      return u"el nombre es demasiado largo";
    case ELOOP:
      return u"hay demasiados enlaces simbolicos";
    case EBUSY:
    case ETXTBSY:
      return u"el archivo esta en uso";
    case ENXIO:
    case ENODEV:
      return u"el dispositivo no esta disponible";
    case EINVAL:
    case ESPIPE:
      return u"no es un archivo normal";
    case EAGAIN:  // a save's lock still held by another program when its wait ran out
      return u"otro programa tiene el archivo en uso";
    case ENOLCK:
      return u"el archivo no se puede bloquear";
    case ENOMEM:
      return u"no queda memoria suficiente";
    default:
      break;
  }
  std::u16string phrase = u"error del sistema numero ";
  const int number = error >= kSystemErrorBase ? error - kSystemErrorBase : error;
  for (const char digit : std::to_string(number)) {
    phrase.push_back(static_cast<char16_t>(digit));
  }
  return phrase;
}

}  // namespace records
