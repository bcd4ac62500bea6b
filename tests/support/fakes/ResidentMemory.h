#pragma once
// The process's own resident memory, as the kernel counts it: for the tests and benchmarks that bound what a
// hostile answer may cost.
#include <QByteArray>
#include <QFile>
#include <QList>

namespace sendra::fakes {

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), 0 where it cannot be read.
inline qint64 statusKilobytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Starts a new peak (VmHWM) at the present resident size, and returns that size in KiB.
inline qint64 resetResidentPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
    return statusKilobytes("VmRSS:");
}

} // namespace sendra::fakes
