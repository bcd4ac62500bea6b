#pragma once

// The deck's private operations that tests and the snapshot tool reach, the way the loading flows do: the one
// definition of the friend the deck declares.
#include "State/CatalogSnapshot.h"
#include "State/CommandDeck.h"

#include <QPromise>
#include <QRandomGenerator>

#include <memory>
#include <optional>

namespace sendra {

struct CommandDeckProbe {
    // Installs a catalogue as a loading flow would (with the home feed the platform prepared, as the private
    // road loads it), for states no fake source serves.
    static void install(CommandDeck& deck, const QList<MediaNode>& nodes,
                        const std::optional<CommandFeed>& prepared = std::nullopt)
    {
        deck.installCatalog(CatalogEntries::prepare(nodes), prepared, CommandDeck::FeedSource::loadedEntries);
    }

    // The parental switch's immediate part: the held catalogue again, under the new setting.
    static void reapply(CommandDeck& deck, bool parental)
    {
        deck.m_parentalEnabled = parental;
        deck.installCatalog(deck.m_unfilteredNodes, std::nullopt, CommandDeck::FeedSource::visibleEntries);
    }

    // As a new application of the catalogue leaves it: no search result known.
    static void forgetSearches(CommandDeck& deck) { deck.m_search = std::make_unique<CatalogSearch>(deck.m_snapshot); }

    static void setFavorites(CommandDeck& deck, const QSet<QString>& favorites) { deck.m_favorites = favorites; }
    static void seedRandom(CommandDeck& deck, QRandomGenerator* random) { deck.m_random = random; }

    // The spotlight is drawn at random; a fixed draw keeps pictures comparable between runs.
    static void fixDraws(CommandDeck& deck)
    {
        static QRandomGenerator fixed;
        fixed.seed(7);
        deck.m_random = &fixed;
    }

    // Holds the deck's next catalogue preparation back until the test lets it go; later ones run as usual.
    struct HeldPreparation {
        QPromise<std::shared_ptr<const CatalogEntries>> promise;
        NodeTable nodes;
        bool started = false;

        void finish()
        {
            promise.addResult(CatalogEntries::prepare(std::move(nodes)));
            promise.finish();
        }
    };

    static std::shared_ptr<HeldPreparation> holdNextPreparation(CommandDeck& deck)
    {
        auto held = std::make_shared<HeldPreparation>();
        deck.m_prepare = [held](NodeTable nodes) {
            if (held->started)
                return CommandDeck::prepareEntries(std::move(nodes));
            held->started = true;
            held->nodes = std::move(nodes);
            held->promise.start();
            return held->promise.future();
        };
        return held;
    }
};

} // namespace sendra
