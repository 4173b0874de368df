#pragma once

#include <QByteArray>
#include <QString>

// Bytes of a skin's or sound pack's text file to text: valid UTF-8 reads as UTF-8, anything else
// as Windows-1252, the code page such files were written in. A leading UTF-8 byte order mark is
// dropped either way: it only says the author meant UTF-8.
QString decodeText(const QByteArray& bytes);

// A file name stored in an archive as bytes: valid UTF-8 reads as UTF-8; anything else was
// written in a Windows code page, CP437 (the zip format's own) or Windows-1252, whichever reads
// its high bytes as more letters (CP437 when they tie).
QString decodeFileName(QByteArrayView bytes);
