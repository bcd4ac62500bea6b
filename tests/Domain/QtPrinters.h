#pragma once

// Readable failure messages for Qt values in GoogleTest assertions.
#include <QString>
#include <QUrl>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QUrl& address, std::ostream* out)
{
    *out << '<' << address.toString().toStdString() << '>';
}
