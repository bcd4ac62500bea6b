#include "FakePlatform.h"

#include <QJsonDocument>

namespace sendra::fakes {

namespace {

Reply jsonReply(const QJsonObject& object, int status = 200)
{
    return Reply::json(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), status);
}

QJsonObject platformPart(const QString& mode)
{
    return {{"slug", "calvenor"}, {"accessMode", mode}, {"version", 3}};
}

QJsonArray serverList(const QList<FakePlatform::Server>& servers)
{
    QJsonArray list;
    for (const auto& server : servers) {
        QJsonObject entry{{"origin", server.origin}, {"slot", server.slot}, {"active", server.active}};
        if (server.primary)
            entry.insert("primary", *server.primary);
        if (!server.blockedCategories.isEmpty())
            entry.insert("parentalBlockedCategories", QJsonArray::fromStringList(server.blockedCategories));
        list.append(entry);
    }
    return list;
}

} // namespace

FakePlatform::FakePlatform()
{
    route("GET", "/api/platform/resolve", [this](const RecordedRequest& r) { return resolve(r); });
    route("POST", "/api/platform/access/validate", [this](const RecordedRequest& r) { return validate(r); });
    route("GET", "/api/catalog/*", [this](const RecordedRequest& r) { return catalog(r); });
}

FakePlatform::~FakePlatform()
{
    stop();
}

void FakePlatform::setIdentifierAnswer(const std::string& identifier, QJsonObject answer)
{
    std::lock_guard lock(m_mutex);
    m_identifiers[identifier] = std::move(answer);
}

void FakePlatform::setOriginAnswer(const std::string& origin, QJsonObject answer)
{
    std::lock_guard lock(m_mutex);
    m_origins[origin] = std::move(answer);
}

void FakePlatform::setDefaultOriginAnswer(std::optional<QJsonObject> answer)
{
    std::lock_guard lock(m_mutex);
    m_defaultOrigin = std::move(answer);
}

void FakePlatform::acceptCode(const std::string& brand, const std::string& user, const std::string& code)
{
    std::lock_guard lock(m_mutex);
    m_codes.emplace(brand, user, code);
}

void FakePlatform::admitProvider(const std::string& brand, const std::string& user, const std::string& origin)
{
    std::lock_guard lock(m_mutex);
    m_providers.emplace(brand, user, origin);
}

void FakePlatform::publish(const std::string& brand, int slot, const std::string& origin, Build build)
{
    std::lock_guard lock(m_mutex);
    m_builds[brand] = Published{slot, origin, std::move(build)};
}

void FakePlatform::setManifestTweak(std::function<void(QJsonObject&, int)> tweak)
{
    std::lock_guard lock(m_mutex);
    m_manifestTweak = std::move(tweak);
}

Reply FakePlatform::resolve(const RecordedRequest& request)
{
    std::lock_guard lock(m_mutex);
    if (const auto identifier = request.queryValue("identifier")) {
        const auto found = m_identifiers.find(*identifier);
        return found == m_identifiers.end() ? Reply::empty(404) : jsonReply(found->second);
    }
    if (const auto origin = request.queryValue("origin")) {
        const auto found = m_origins.find(*origin);
        if (found != m_origins.end())
            return jsonReply(found->second);
        return m_defaultOrigin ? jsonReply(*m_defaultOrigin) : Reply::empty(404);
    }
    return Reply::empty(400);
}

Reply FakePlatform::validate(const RecordedRequest& request)
{
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
    const std::string brand = body.value("brand").toString().toStdString();
    const std::string user = body.value("username").toString().toStdString();
    std::lock_guard lock(m_mutex);
    if (body.value("authorization").toString() == QStringLiteral("provider")) {
        const std::string origin = body.value("origin").toString().toStdString();
        if (m_providers.count({brand, user, origin}) == 0)
            return Reply::json(R"({"valid":false})", 403);
        return Reply::json(R"({"valid":true,"requiresCode":false})");
    }
    const bool valid = m_codes.count({brand, user, body.value("code").toString().toStdString()}) > 0;
    return Reply::json(valid ? R"({"valid":true})" : R"({"valid":false})");
}

Reply FakePlatform::catalog(const RecordedRequest& request)
{
    // "/api/catalog/<brand>/<document>"
    const std::string rest = request.path.substr(std::string("/api/catalog/").size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return Reply::empty(404);
    const std::string brand = rest.substr(0, slash);
    const std::string document = rest.substr(slash + 1);

    std::lock_guard lock(m_mutex);
    const auto found = m_builds.find(brand);
    if (found == m_builds.end())
        return Reply::empty(404);
    const Published& published = found->second;
    const Build& build = published.build;
    if (request.queryValue("serverSlot") != std::to_string(published.slot)
        || request.queryValue("origin") != published.origin)
        return Reply::empty(404);

    const auto counts = [](const Sections& s) {
        return QJsonObject{{"tv", s.tv.size()}, {"movies", s.movies.size()}, {"series", s.series.size()}};
    };
    if (document == "manifest") {
        QJsonObject manifest{{"client", QString::fromStdString(brand)},
                             {"serverSlot", published.slot},
                             {"origin", QString::fromStdString(published.origin)},
                             {"version", build.version},
                             {"generatedAt", build.generatedAt},
                             {"counts", counts(build.normal)}};
        if (build.protectedSections)
            manifest.insert("protectedCounts", counts(*build.protectedSections));
        if (m_manifestTweak)
            m_manifestTweak(manifest, m_manifestsServed[brand]);
        ++m_manifestsServed[brand];
        return jsonReply(manifest);
    }

    // Documents of another build than the published one are gone.
    if (request.queryValue("version") != std::to_string(build.version)
        || request.queryValue("generation") != build.generatedAt.toStdString())
        return Reply::empty(404);
    const bool protectedMode = request.queryValue("catalogMode") == std::string("protected");
    if (protectedMode && !build.protectedSections)
        return Reply::empty(404);
    const Sections& sections = protectedMode ? *build.protectedSections : build.normal;
    QJsonObject answer{{"version", build.version}};
    if (protectedMode)
        answer.insert("catalogMode", "protected");
    if (document == "home") {
        answer.insert("rows", sections.rows);
        if (!sections.featured.isEmpty())
            answer.insert("featured", sections.featured);
    } else if (document == "tv" || document == "movies" || document == "series") {
        answer.insert("items", document == "tv" ? sections.tv : document == "movies" ? sections.movies : sections.series);
    } else {
        return Reply::empty(404);
    }
    return jsonReply(answer);
}

QJsonObject FakePlatform::freeAnswer(const QList<Server>& servers)
{
    return {{"schemaVersion", 4},
            {"platform", platformPart("free")},
            {"allowAnyServer", true},
            {"brand", QJsonObject{{"slug", "calvenor"}, {"accessMode", "free"}}},
            {"allowedOrigins", serverList(servers)},
            {"useBrandPresentation", false}};
}

QJsonObject FakePlatform::privateAnswer(const QString& slug, const QString& identifier, const QList<Server>& servers)
{
    return {{"schemaVersion", 4},
            {"platform", platformPart("private")},
            {"allowAnyServer", false},
            {"brand", QJsonObject{{"slug", slug},
                                  {"accessMode", "private"},
                                  {"identifier", identifier},
                                  {"name", "Marca " + slug},
                                  {"primaryColor", "#112233"},
                                  {"secondaryColor", "#445566"}}},
            {"allowedOrigins", serverList(servers)},
            {"useBrandPresentation", true}};
}

QJsonObject FakePlatform::providerAnswer(const QString& origin, int slot)
{
    return {{"schemaVersion", 5},
            {"platform", platformPart("private")},
            {"allowAnyServer", false},
            {"brand", QJsonObject{{"slug", "calvenor"}, {"accessMode", "provider"}}},
            {"allowedOrigins", serverList({Server{origin, slot}})},
            {"useBrandPresentation", false},
            {"matchedSlot", slot},
            {"catalogBrand", "calvenor"},
            {"authentication", QJsonObject{{"method", "provider"}, {"scope", "main-allowed-origin"}, {"origin", origin}}}};
}

QJsonObject FakePlatform::item(const QString& id, const QString& name, const QString& kind, const QString& category)
{
    QJsonObject object{{"id", id}, {"name", name}};
    if (!kind.isEmpty())
        object.insert("kind", kind);
    if (!category.isEmpty())
        object.insert("category", category);
    return object;
}

} // namespace sendra::fakes
