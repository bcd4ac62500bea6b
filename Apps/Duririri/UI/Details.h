#pragma once

#include "UI/DeckFacet.h"

#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the detail sheet reads of the deck: the entry selected, its brief (synopsis, seasons and episodes), and
// the sheet's actions on it.
class Details final : public DeckFacet
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    // The entry shown (as NodeValues gives it), null while the sheet is closed.
    Q_PROPERTY(QVariant selectedNode READ selectedNode NOTIFY selectedNodeChanged)
    // {synopsis, genre, year, seasons: [{number, episodes: [{id, number, title}]}]} or null.
    Q_PROPERTY(QVariant selectedBrief READ selectedBrief NOTIFY selectedBriefChanged)
    Q_PROPERTY(bool isLoadingBrief READ isLoadingBrief NOTIFY isLoadingBriefChanged)

public:
    static Details* create(QQmlEngine* engine, QJSEngine*) { return make<Details>(engine); }
    Details(AppContext& context, QQmlEngine* engine);

    QVariant selectedNode() const;
    QVariant selectedBrief() const;
    bool isLoadingBrief() const;

    Q_INVOKABLE void closeDetails();
    Q_INVOKABLE void toggleSelectedFavorite();
    Q_INVOKABLE void playSelected();
    // Indexes into the brief's seasons and that season's episodes; out of range does nothing.
    Q_INVOKABLE void playEpisode(int season, int episode);
    Q_INVOKABLE QString presentationKindTitle(const QString& kind) const;

signals:
    void selectedNodeChanged();
    void selectedBriefChanged();
    void isLoadingBriefChanged();

private:
    void relaySignals() override;
    void announce() override;
};

} // namespace sendra::ui
