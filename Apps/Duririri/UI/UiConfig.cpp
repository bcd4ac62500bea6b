#include "UI/UiConfig.h"

#include <QAccessible>

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
      m_screenReaderActive(QAccessible::isActive())
{
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

} // namespace sendra::ui
