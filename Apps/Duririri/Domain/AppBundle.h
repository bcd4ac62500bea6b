#pragma once

#include <QJsonValue>
#include <QString>

namespace sendra {

// The product directory the executable runs from: it holds Info.json and Resources/. Found from the
// executable's own directory; "--bundle-dir <dir>" (or "--bundle-dir=<dir>") on the command line or
// SENDRA_BUNDLE_DIR in the environment override it, in that order.
struct AppBundle {
    static QString directory();
    // A value of Info.json; undefined when the file, or the key, is missing or unreadable.
    static QJsonValue infoValue(const QString& key);
    // Absolute path of a file under the bundle's Resources/ folder.
    static QString resourcePath(const QString& relative);
};

} // namespace sendra
