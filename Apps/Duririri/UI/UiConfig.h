#pragma once

#include <QAccessible>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// Durations and motion switches of the screens, in one place: the carousel's rotation, animations, reduce
// motion (an environment switch, SENDRA_REDUCE_MOTION=1: Qt has no such setting) and whether a screen reader is
// active (followed while the application runs: a reader may start after it). Tests shorten the carousel and turn
// animations off through the process-wide defaults.
class UiConfig final : public QObject, private QAccessible::ActivationObserver
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int carouselInterval READ carouselInterval WRITE setCarouselInterval NOTIFY changed)
    Q_PROPERTY(bool animationsEnabled READ animationsEnabled WRITE setAnimationsEnabled NOTIFY changed)
    Q_PROPERTY(int animationDuration READ animationDuration NOTIFY changed)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY changed)
    Q_PROPERTY(bool screenReaderActive READ screenReaderActive WRITE setScreenReaderActive NOTIFY changed)
    // Whether the application is the active one; follows the application's state (writable for tests: the
    // offscreen platform never deactivates).
    Q_PROPERTY(bool applicationActive READ applicationActive WRITE setApplicationActive NOTIFY changed)

public:
    struct Defaults {
        int carouselInterval = 7000;
        bool animationsEnabled = true;
    };
    // What every new engine's configuration starts from.
    static void setDefaults(Defaults defaults);

    explicit UiConfig(QObject* parent = nullptr);
    ~UiConfig() override;

    int carouselInterval() const { return m_carouselInterval; }
    void setCarouselInterval(int ms);
    bool animationsEnabled() const { return m_animationsEnabled; }
    void setAnimationsEnabled(bool enabled);
    // 0 when animations are off or motion is reduced.
    int animationDuration() const { return m_animationsEnabled && !m_reduceMotion ? 180 : 0; }
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);
    bool screenReaderActive() const { return m_screenReaderActive; }
    void setScreenReaderActive(bool active);
    bool applicationActive() const { return m_applicationActive; }
    void setApplicationActive(bool active);

signals:
    void changed();

private:
    void accessibilityActiveChanged(bool active) override;

    int m_carouselInterval;
    bool m_animationsEnabled;
    bool m_reduceMotion;
    bool m_screenReaderActive;
    bool m_applicationActive;
};

} // namespace sendra::ui
