#pragma once

#include <QString>
#include <QStringView>

// The value forms of the settings store: every value is kept as text.
namespace SettingsText {

// "True" or "False".
QString fromBool(bool value);

// True only for "true" in any letter case; anything else, empty text included, is false.
bool toBool(QStringView text);

// The value as a single-precision number: up to seven significant digits, "." as the decimal
// point whatever the locale, and never an exponent (the reading below would stop at the "e").
// A value that is not finite is written as "0".
QString fromNumber(double value);

// The leading number of the text with "." as the decimal point; 0 when the text starts with none.
double toNumber(QStringView text);

} // namespace SettingsText
