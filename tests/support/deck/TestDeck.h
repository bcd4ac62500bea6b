#pragma once

// A deck's surroundings for tests: a vault in a temporary folder with an in-memory keyring, the loopback fake
// platform service and one fake Xtream Codes panel with a small catalogue, and the clients that reach them.
#include "Domain/CatalogTypes.h"
#include "Networking/PanelAccess.h"
#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeXtreamPanel.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace sendra::testing {

// The small catalogue: two channels (Noticias), three films (Acción: "Película A", "Película B" and "Película
// Uno", whose id 1 a channel shares), one series ("Serie Larga", Drama) of two seasons: episodes 201 ("Piloto"),
// 202 and 204. A film's details name its id ("Trama 10").
struct SmallCatalogue {
    // A fourth film, "Noche XXX" (id 12) in a category Adultos, for the parental filter.
    bool adultFilm = false;
    // Five episodes, 201-203 and 204-205, for stepping within and across seasons.
    bool longSeries = false;
};
void serveSmallCatalogue(fakes::FakeXtreamPanel& panel, SmallCatalogue shape = {});

// A film of a playlist (an mp4 on a closed loopback port) in the group `group` named `groupName`.
MediaNode film(int id, const QString& title, const QString& group, const QString& groupName);

// A settings file in a temporary folder and an in-memory keyring; each vault opened over them sees what the
// earlier ones stored, as after a restart.
class TestVault
{
public:
    TestVault();

    // A new vault over the folder's settings file and the keyring: not loaded yet (the application loads its
    // own), loaded, or loaded and kept in `vaults` (oldest first) for the TestVault's life.
    std::unique_ptr<CommandVault> newVault() const;
    std::unique_ptr<CommandVault> loadVault() const;
    CommandVault& openVault();

    QString settingsFile() const { return folder.filePath(QStringLiteral("sendra.ini")); }

    QTemporaryDir folder;
    std::shared_ptr<MemorySecretStore> secrets = std::make_shared<MemorySecretStore>();
    std::vector<std::unique_ptr<CommandVault>> vaults;
};

// A TestVault and the fakes a deck talks to. The servers go first: they outlive the clients' network manager.
class TestDeck : public TestVault
{
public:
    // The panel serves the small catalogue in that shape, or nothing (the test answers for it).
    explicit TestDeck(std::optional<SmallCatalogue> catalogue = SmallCatalogue{});
    ~TestDeck();

    // The clients of a deck over `manager`, reaching the fake platform (and the speed-test service at
    // `networkCheck`, when given).
    CommandDeck::Clients clients(QNetworkAccessManager* manager, const PanelTimeouts& timeouts,
                                 const QUrl& networkCheck = {}) const;
    std::unique_ptr<CommandDeck> makeDeck(CommandVault& vault, QNetworkAccessManager* manager,
                                          const PanelTimeouts& timeouts = shortTimeouts());
    static PanelTimeouts shortTimeouts();

    QString panelOrigin() const { return panel.baseUrl().toString(); }
    // The form filled for the panel, with its account.
    SourceDraft panelDraft() const;

    fakes::FakePlatform platform;
    fakes::FakeXtreamPanel panel{"demo", "s3cret"};
};

} // namespace sendra::testing
