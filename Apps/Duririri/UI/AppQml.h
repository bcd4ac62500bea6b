#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QQmlEngine>

namespace sendra::ui {

// Makes `import Sendra.App` (and the player's `Sendra.Playback`) work in `engine`, and installs the artwork image
// provider. Call once per engine before loading any of the application's QML.
void registerAppQml(QQmlEngine& engine);

// The engine's instance of one of the Sendra.App singletons (made on first use), found under the name its class
// gives QML, so that renaming the QML type cannot leave a stale name here. Null when the type is not registered.
template <class Singleton>
Singleton* appSingleton(QQmlEngine& engine)
{
    const QMetaObject& meta = Singleton::staticMetaObject;
    const int element = meta.indexOfClassInfo("QML.Element");
    if (element < 0)
        return nullptr;
    QByteArray name = meta.classInfo(element).value();
    if (name == "auto") {
        name = meta.className();
        name = name.mid(name.lastIndexOf(':') + 1);
    }
    const int type = qmlTypeId("Sendra.App", 1, 0, name.constData());
    return type < 0 ? nullptr : engine.singletonInstance<Singleton*>(type);
}

} // namespace sendra::ui
