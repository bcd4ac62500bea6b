#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// How many category rows the library shows: a first page of six, six more per "Más categorías", and, when a
// row opens its category, at least every row up to the end of that row's page, so the way back finds it shown.
namespace libraryPaging {

inline constexpr int pageSize = 6;

// Rows on screen out of `groups` while `visible` rows are allowed (the allowance may exceed the groups).
int shownRows(int visible, int groups);
bool hasMoreRows(int visible, int groups);
// After "Más categorías".
int rowsAfterMore(int visible, int groups);
// After opening the row at `position` (counted from 0; negative when the group is not among the rows).
int rowsAfterOpening(int visible, int position);
// Columns of an adaptive grid: as many cells of at least `minimum` as fit, `spacing` apart, never fewer than one.
int gridColumns(double width, double minimum, double spacing);

} // namespace libraryPaging

// The same rules for QML.
class LibraryPaging final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int pageSize READ pageSize CONSTANT)

public:
    explicit LibraryPaging(QObject* parent = nullptr) : QObject(parent) {}

    static int pageSize() { return libraryPaging::pageSize; }
    Q_INVOKABLE static int shownRows(int visible, int groups) { return libraryPaging::shownRows(visible, groups); }
    Q_INVOKABLE static bool hasMoreRows(int visible, int groups) { return libraryPaging::hasMoreRows(visible, groups); }
    Q_INVOKABLE static int rowsAfterMore(int visible, int groups)
    {
        return libraryPaging::rowsAfterMore(visible, groups);
    }
    Q_INVOKABLE static int rowsAfterOpening(int visible, int position)
    {
        return libraryPaging::rowsAfterOpening(visible, position);
    }
    Q_INVOKABLE static int gridColumns(double width, double minimum, double spacing)
    {
        return libraryPaging::gridColumns(width, minimum, spacing);
    }
};

} // namespace sendra::ui
