#pragma once

#include <QByteArray>
#include <QString>

// Bytes of a skin's or sound pack's text file to text: valid UTF-8 reads as UTF-8, anything else
// as Windows-1252, the code page such files were written in. A leading UTF-8 byte order mark is
// dropped either way: it only says the author meant UTF-8.
QString decodeText(const QByteArray& bytes);
