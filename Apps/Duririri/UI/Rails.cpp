#include "UI/Rails.h"

#include "State/CommandDeck.h"
#include "UI/AppContext.h"
#include "UI/NodeListModel.h"
#include "UI/RailRules.h"

#include <QAbstractItemModel>

namespace sendra::ui {

Rails* Rails::create(QQmlEngine* engine, QJSEngine*)
{
    return new Rails(AppContext::of(engine), engine);
}

Rails::Rails(AppContext* context, QObject* parent) : QObject(parent), m_context(context)
{
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

int Rails::lastLeading(int count, double contentWidth, double viewWidth, double spacing) const
{
    return railLastLeading(count, contentWidth, viewWidth, spacing);
}

int Rails::dragTarget(int lastLeading, int originIndex, double translationX) const
{
    return railDragTarget(lastLeading, originIndex, translationX);
}

QVariantMap Rails::carouselTurn(const QStringList& shown, const QStringList& fresh, int page, int step) const
{
    const CarouselTurn turn = ui::carouselTurn(shown, fresh, page, step);
    return {{QStringLiteral("page"), turn.page}, {QStringLiteral("restartWait"), turn.restartWait}};
}

QStringList Rails::keys(QObject* model, const QString& role) const
{
    QStringList out;
    const auto* items = qobject_cast<const QAbstractItemModel*>(model);
    if (!items)
        return out;
    const int roleId = items->roleNames().key(role.toUtf8(), -1);
    if (roleId < 0)
        return out;
    const int rows = items->rowCount();
    out.reserve(rows);
    for (int row = 0; row < rows; ++row)
        out.append(items->data(items->index(row, 0), roleId).toString());
    return out;
}

void Rails::openMore(QObject* model) const
{
    const auto* nodes = qobject_cast<const NodeListModel*>(model);
    CommandDeck* deck = m_context ? m_context->deck() : nullptr;
    if (!nodes || !deck)
        return;
    if (nodes->totalCount() == 0)
        return;
    const RailDestination destination = nodes->moreDestination();
    deck->openLibrary(destination.kind, destination.group);
}

} // namespace sendra::ui
