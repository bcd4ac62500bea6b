#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// Opens the brand's privacy and support links in the desktop's browser or mail program. The addresses come from
// the platform, so only web and mail addresses are handed to the desktop: never a file, a script or a custom
// scheme that another program would run.
class Links final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit Links(QObject* parent = nullptr);

    // Whether `address` is an http or https address with a host, or a mailto address.
    static bool isOpenable(const QUrl& address);
    // False, without opening anything, for any other address. A mailto address keeps only its recipients,
    // subject, body, cc and bcc.
    Q_INVOKABLE bool open(const QString& address) const;
};

} // namespace sendra::ui
