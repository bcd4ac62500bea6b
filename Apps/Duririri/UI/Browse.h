#pragma once

#include "UI/DeckFacet.h"

#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the centre, the library and discover read of the deck: the catalogue's shape, the feed's lanes, the resume
// points, the library's kind and category, the search text and the favourites. The entries themselves come
// through NodeListModel and GroupListModel.
class Browse final : public DeckFacet
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(bool usesGenericPresentation READ usesGenericPresentation NOTIFY catalogChanged)
    Q_PROPERTY(QStringList presentedKinds READ presentedKinds NOTIFY catalogChanged)
    Q_PROPERTY(int totalNodeCount READ totalNodeCount NOTIFY catalogChanged)
    // Visible entries per kind: {"tv": n, "movies": n, "series": n}.
    Q_PROPERTY(QVariantMap kindCounts READ kindCounts NOTIFY catalogChanged)
    // The feed's lanes: [{id, title, subtitle, titleIsText, subtitleIsText, count}] (whether a text is the deck's
    // own, shown through the text lookup, or data shown as it is); a lane's entries come through
    // NodeListModel.Lane.
    Q_PROPERTY(QVariantList lanes READ lanes NOTIFY feedChanged)
    // The centre's resume points: [{key, title, fraction, artwork, kind, generic, groupName, isFavorite}].
    Q_PROPERTY(QVariantList centerResumeMarkers READ centerResumeMarkers NOTIFY centerResumeMarkersChanged)
    // Counts the changes of the favourites, for bindings that ask isFavorite().
    Q_PROPERTY(int favoritesRevision READ favoritesRevision NOTIFY favoritesChanged)

    Q_PROPERTY(QString chosenKind READ chosenKind WRITE setChosenKind NOTIFY chosenKindChanged)
    Q_PROPERTY(QVariant chosenGroup READ chosenGroup NOTIFY chosenGroupChanged)
    Q_PROPERTY(bool canReturnFromLibrary READ canReturnFromLibrary NOTIFY canReturnFromLibraryChanged)
    Q_PROPERTY(int libraryNodeCount READ libraryNodeCount NOTIFY libraryNodesChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)

public:
    static Browse* create(QQmlEngine* engine, QJSEngine*) { return make<Browse>(engine); }
    Browse(AppContext& context, QQmlEngine* engine);

    bool usesGenericPresentation() const;
    QStringList presentedKinds() const;
    int totalNodeCount() const;
    QVariantMap kindCounts() const;
    QVariantList lanes() const;
    QVariantList centerResumeMarkers() const;
    int favoritesRevision() const { return m_favoritesRevision; }

    QString chosenKind() const;
    void setChosenKind(const QString& kind);
    QVariant chosenGroup() const;
    bool canReturnFromLibrary() const;
    int libraryNodeCount() const;
    QString searchText() const;
    void setSearchText(const QString& text);

    // kind: "tv"/"movies"/"series" or "" for every kind; groupId: a group key or "" for none.
    Q_INVOKABLE void openLibrary(const QString& kind, const QString& groupId);
    Q_INVOKABLE void returnFromLibrary();
    // Sets the library's chosen group by key ("" for none); the kind is left alone. An unknown key does nothing.
    Q_INVOKABLE void chooseGroup(const QString& groupId);
    Q_INVOKABLE void refreshSpotlights();
    Q_INVOKABLE bool isFavorite(const QString& key) const;
    Q_INVOKABLE void resumeAt(int index);
    Q_INVOKABLE void toggleResumeFavorite(int index);

signals:
    void catalogChanged();
    void feedChanged();
    void centerResumeMarkersChanged();
    void favoritesChanged();
    void chosenKindChanged();
    void chosenGroupChanged();
    void canReturnFromLibraryChanged();
    void libraryNodesChanged();
    void searchTextChanged();

private:
    void relaySignals() override;
    void announce() override;
    // Runs `action` with the centre's resume point at `index`; nothing for an index out of range.
    template <class Action>
    void withResumeMarker(int index, Action action);

    int m_favoritesRevision = 0;
};

} // namespace sendra::ui
