#pragma once

#include "LoopbackServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace sendra::fakes {

// The maker's platform service on 127.0.0.1, both endpoints on one server:
//   GET  /api/platform/resolve?identifier=...        the brand answer set for that identifier, else 404
//   GET  /api/platform/resolve?origin=...&source=... the answer set for that origin text, else the default answer
//   POST /api/platform/access/validate               {"valid":true} for an accepted code, {"valid":false} else;
//                                                    provider questions: admitted, else 403
//   GET  /api/catalog/<brand>/manifest|tv|movies|series|home  the published build, checked against the query
// Any route can be overridden with route() for odd answers (statuses, held, hanging, dropped).
class FakePlatform : public LoopbackServer
{
public:
    struct Server
    {
        QString origin;
        int slot = 1;
        bool active = true;
        std::optional<bool> primary;
        QStringList blockedCategories;
    };

    // One prepared document set (the normal or the protected build).
    struct Sections
    {
        QJsonArray tv;
        QJsonArray movies;
        QJsonArray series;
        QJsonArray rows;         // home rows
        QJsonObject featured;    // home spotlight; none when empty
    };

    struct Build
    {
        qint64 version = 1;
        QString generatedAt = QStringLiteral("2026-01-01T00:00:00Z");
        Sections normal;
        std::optional<Sections> protectedSections;
    };

    FakePlatform();
    ~FakePlatform() override;

    void setIdentifierAnswer(const std::string& identifier, QJsonObject answer);
    void setOriginAnswer(const std::string& origin, QJsonObject answer);
    void setDefaultOriginAnswer(std::optional<QJsonObject> answer);

    void acceptCode(const std::string& brand, const std::string& user, const std::string& code);
    void admitProvider(const std::string& brand, const std::string& user, const std::string& origin);

    // Publishes (or replaces) the build of a brand's server.
    void publish(const std::string& brand, int slot, const std::string& origin, Build build);
    // Called with every manifest before it is sent, with how many manifests of that brand were served before.
    void setManifestTweak(std::function<void(QJsonObject& manifest, int served)> tweak);

    // Answers in the platform's formats, for tests to adjust.
    static QJsonObject freeAnswer(const QList<Server>& servers = {});
    static QJsonObject privateAnswer(const QString& slug, const QString& identifier, const QList<Server>& servers);
    static QJsonObject providerAnswer(const QString& origin, int slot);
    static QJsonObject item(const QString& id, const QString& name, const QString& kind = {},
                            const QString& category = {});

private:
    struct Published
    {
        int slot = 0;
        std::string origin;
        Build build;
    };

    Reply resolve(const RecordedRequest& request);
    Reply validate(const RecordedRequest& request);
    Reply catalog(const RecordedRequest& request);

    mutable std::mutex m_mutex;
    std::map<std::string, QJsonObject> m_identifiers;
    std::map<std::string, QJsonObject> m_origins;
    std::optional<QJsonObject> m_defaultOrigin;
    std::set<std::tuple<std::string, std::string, std::string>> m_codes;
    std::set<std::tuple<std::string, std::string, std::string>> m_providers;
    std::map<std::string, Published> m_builds;
    std::map<std::string, int> m_manifestsServed;
    std::function<void(QJsonObject&, int)> m_manifestTweak;
};

} // namespace sendra::fakes
