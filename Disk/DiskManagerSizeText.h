#pragma once
#include <QString>

// The Disk Manager's size text (its records and rows): steps of 1000, "%.0f
// byte" below 1000, then "%.2f KB", "%.2f MB", "%.2f GB" and "%.2f TB". The
// quotient is taken in double precision and held in single precision before
// formatting, so 999,999,999,999 bytes read "1000.00 GB".
QString byteToSizeWithByte(quint64 bytes);
