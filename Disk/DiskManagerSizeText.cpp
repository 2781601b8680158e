#include "DiskManagerSizeText.h"

QString byteToSizeWithByte(quint64 bytes)
{
    const double n = double(bytes);
    if (bytes < 1000ull)
        return QString::asprintf("%.0f byte", double(float(n)));
    if (bytes <= 999999ull)
        return QString::asprintf("%.2f KB", double(float(n / 1000.0)));
    if (bytes <= 999999999ull)
        return QString::asprintf("%.2f MB", double(float(n / 1000000.0)));
    if (bytes <= 999999999999ull)
        return QString::asprintf("%.2f GB", double(float(n / 1000000000.0)));
    return QString::asprintf("%.2f TB", double(float(n / 1000000000000.0)));
}
