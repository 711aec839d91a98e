#pragma once
#include <QString>

enum class DecimalKind { NotANumber, Number, OutOfRange };

// A decimal number with "." as the decimal point whatever the locale: an
// optional sign, digits with an optional fraction, an optional exponent;
// blanks around it only when allowBlanks. OutOfRange for a well-formed number
// that does not fit a finite double.
DecimalKind ReadDotDecimal(const QString &text, double &value, bool allowBlanks);

// Integer text as the INI and time parsers accept it: leading blanks, an
// optional sign, decimal digits or hex digits behind $, x or 0x; nothing after.
bool ParseInt32(const QString &text, qint32 &value);
