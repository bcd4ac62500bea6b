#include "UI/Details.h"

#include "State/CommandDeck.h"
#include "UI/NodeValues.h"

namespace sendra::ui {

Details::Details(AppContext& context, QQmlEngine* engine) : DeckFacet(context, engine)
{}

void Details::relaySignals()
{
    using D = CommandDeck;
    relay(&D::selectedNodeChanged, &Details::selectedNodeChanged);
    relay(&D::selectedBriefChanged, &Details::selectedBriefChanged);
    relay(&D::isLoadingBriefChanged, &Details::isLoadingBriefChanged);
    // The selected entry carries whether it is a favourite.
    relay(&D::favoritesChanged, &Details::selectedNodeChanged);
}

void Details::announce()
{
    emit selectedNodeChanged();
    emit selectedBriefChanged();
    emit isLoadingBriefChanged();
}

QVariant Details::selectedNode() const
{
    const CommandDeck* current = deck();
    if (!current || !current->selectedNode())
        return null();
    return nodeValue(*current->selectedNode(), current->favorites());
}

QVariant Details::selectedBrief() const
{
    const CommandDeck* current = deck();
    if (!current || !current->selectedBrief())
        return null();
    const ContentBrief& brief = *current->selectedBrief();
    QVariantList seasons;
    for (const SeasonBundle& season : brief.seasons) {
        QVariantList episodes;
        for (const EpisodeNode& episode : season.episodes) {
            episodes.append(QVariantMap{{QStringLiteral("id"), episode.id},
                                        {QStringLiteral("number"), episode.number},
                                        {QStringLiteral("title"), shownText(episode.title)}});
        }
        seasons.append(QVariantMap{{QStringLiteral("number"), season.number}, {QStringLiteral("episodes"), episodes}});
    }
    return QVariantMap{{QStringLiteral("synopsis"), shownText(brief.synopsis, shownSynopsisLimit)},
                       {QStringLiteral("genre"), brief.genre},
                       {QStringLiteral("year"), brief.year},
                       {QStringLiteral("seasons"), seasons}};
}

bool Details::isLoadingBrief() const
{
    return read(&CommandDeck::isLoadingBrief, false);
}

QString Details::presentationKindTitle(const QString& kind) const
{
    const auto parsed = signalKindFromStored(kind);
    if (!parsed)
        return QString();
    return read([&parsed](const CommandDeck& d) { return d.presentationKindTitle(*parsed); }, QString());
}

void Details::closeDetails()
{
    act([](CommandDeck& d) {
        if (d.selectedNode())
            d.setSelectedNode(std::nullopt);
    });
}

void Details::toggleSelectedFavorite()
{
    act([](CommandDeck& d) {
        if (d.selectedNode())
            d.toggleFavorite(MediaNode(*d.selectedNode()));
    });
}

void Details::playSelected()
{
    act([](CommandDeck& d) {
        if (d.selectedNode())
            d.play(MediaNode(*d.selectedNode()));
    });
}

void Details::playEpisode(int season, int episode)
{
    act([season, episode](CommandDeck& d) {
        if (!d.selectedBrief())
            return;
        const QList<SeasonBundle>& seasons = d.selectedBrief()->seasons;
        if (season < 0 || season >= seasons.size() || episode < 0 || episode >= seasons[season].episodes.size())
            return;
        d.playEpisode(EpisodeNode(seasons[season].episodes[episode]));
    });
}

} // namespace sendra::ui
