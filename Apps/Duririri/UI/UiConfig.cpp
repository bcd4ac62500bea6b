#include "UI/UiConfig.h"

#include <QAccessible>
#include <QGuiApplication>

namespace sendra::ui {

namespace {

UiConfig::Defaults& defaults()
{
    static UiConfig::Defaults values;
    return values;
}

} // namespace

void UiConfig::setDefaults(Defaults values)
{
    defaults() = values;
}

UiConfig::UiConfig(QObject* parent)
    : QObject(parent), m_carouselInterval(defaults().carouselInterval),
      m_animationsEnabled(defaults().animationsEnabled),
      m_reduceMotion(qEnvironmentVariableIntValue("SENDRA_REDUCE_MOTION") == 1),
      m_screenReaderActive(QAccessible::isActive()),
      m_applicationActive(QGuiApplication::applicationState() == Qt::ApplicationActive)
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { setApplicationActive(state == Qt::ApplicationActive); });
    QAccessible::installActivationObserver(this);
}

UiConfig::~UiConfig()
{
    QAccessible::removeActivationObserver(this);
}

void UiConfig::accessibilityActiveChanged(bool active)
{
    setScreenReaderActive(active);
}

void UiConfig::setCarouselInterval(int ms)
{
    if (ms == m_carouselInterval || ms <= 0)
        return;
    m_carouselInterval = ms;
    emit changed();
}

void UiConfig::setAnimationsEnabled(bool enabled)
{
    if (enabled == m_animationsEnabled)
        return;
    m_animationsEnabled = enabled;
    emit changed();
}

void UiConfig::setReduceMotion(bool reduce)
{
    if (reduce == m_reduceMotion)
        return;
    m_reduceMotion = reduce;
    emit changed();
}

void UiConfig::setScreenReaderActive(bool active)
{
    if (active == m_screenReaderActive)
        return;
    m_screenReaderActive = active;
    emit changed();
}

void UiConfig::setApplicationActive(bool active)
{
    if (active == m_applicationActive)
        return;
    m_applicationActive = active;
    emit changed();
}

} // namespace sendra::ui
