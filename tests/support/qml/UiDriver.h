#pragma once

// Real input into one window, for the interface tests and the snapshot tool: items are found by objectName
// (items, popups open or closed, view delegates), clicked with a real press and release where a person would
// click on a drawn frame, and typed into with real key events.
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QVariant>

#include <functional>

namespace sendra::testing {

class UiDriver
{
public:
    // `window` gives the window to drive; it may not exist yet when the driver is made (an application makes
    // its window when it starts). `settleAfterInput` lets the event loop run that long after each click or
    // key, for what the input starts on the next turn (0: the caller's waits see to it).
    explicit UiDriver(std::function<QQuickWindow*()> window, int settleAfterInput = 10);

    QQuickWindow* window() const { return m_window(); }

    // The object with that objectName; null when none.
    QObject* find(const QString& objectName) const;
    QQuickItem* item(const QString& objectName) const { return qobject_cast<QQuickItem*>(find(objectName)); }
    QVariant property(const QString& objectName, const char* name) const;
    // Visible and not transparent, with every ancestor so (an item in a closed popup is not shown).
    bool isShown(const QString& objectName) const;

    // A real click at the item's centre, on the frame that shows the item where its layout has put it; false
    // when the item is missing or not shown. A disabled or covered control does nothing, as for a person.
    bool click(const QString& objectName, Qt::MouseButton button = Qt::LeftButton);
    // Focuses the item by clicking it, selects what it holds and types the text.
    bool type(const QString& objectName, const QString& text);
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Types the text as key presses into whatever has the focus, without waiting.
    void typeKeys(const QString& text);
    // Lets the window draw a frame: what changed is laid out and shown.
    void drawn();

    // Lets the event loop run until the condition holds (false after `ms`).
    static bool waitFor(const std::function<bool()>& condition, int ms = 5000);
    static void idle(int ms = 50);
    // Runs the event loop until no picture of `window` (an Image with an image:// source) is loading any more;
    // false after `ms`, with the number still loading in `pending`.
    static bool waitForPictures(QQuickWindow* window, int ms = 20000, int* pending = nullptr);

private:
    std::function<QQuickWindow*()> m_window;
    int m_settle;
};

} // namespace sendra::testing
