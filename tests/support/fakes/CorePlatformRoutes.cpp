#include "CorePlatformRoutes.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QUrl>

#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace sendra::fakes {

struct FakeCorePlatform::State
{
    std::mutex mutex;
    std::map<std::string, QJsonObject> configurations;
    std::map<std::string, Publication> publications;
    std::set<std::tuple<QString, QString, QString>> codes;
};

namespace {

Reply jsonReply(const QJsonObject& object)
{
    return Reply::json(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
}

// "/api/<area>/<brand>/<rest>" split on the encoded path, the brand decoded afterwards.
bool splitPath(const RecordedRequest& request, const char* area, std::string& brand, std::string& rest)
{
    const QList<QByteArray> parts = QByteArray::fromStdString(request.rawPath).split('/');
    if (parts.size() != 5 || parts[1] != "api" || parts[2] != area)
        return false;
    brand = QByteArray::fromPercentEncoding(parts[3]).toStdString();
    rest = parts[4].toStdString();
    return true;
}

QJsonArray sectionItems(const FakeCorePlatform::Documents& documents, const std::string& kind)
{
    return kind == "tv" ? documents.tv : kind == "movies" ? documents.movies : documents.series;
}

QJsonObject counts(const FakeCorePlatform::Documents& documents)
{
    return {{"tv", documents.tv.size()}, {"movies", documents.movies.size()}, {"series", documents.series.size()}};
}

Reply catalogReply(FakeCorePlatform::State& state, const RecordedRequest& request)
{
    std::string brand;
    std::string what;
    if (!splitPath(request, "catalog", brand, what))
        return Reply::empty(404);
    std::lock_guard lock(state.mutex);
    const auto found = state.publications.find(brand);
    if (found == state.publications.end())
        return Reply::empty(404);
    const auto& publication = found->second;
    if (request.queryValue("serverSlot") != std::to_string(publication.slot)
        || request.queryValue("origin") != publication.origin.toStdString())
        return Reply::empty(404);
    if (what == "manifest") {
        return jsonReply({{"client", QString::fromStdString(brand)},
                          {"serverSlot", publication.slot},
                          {"origin", publication.origin},
                          {"version", publication.version},
                          {"generatedAt", publication.generatedAt},
                          {"counts", counts(publication.normal)},
                          {"protectedCounts", counts(publication.protectedDocuments)}});
    }
    if (request.queryValue("version") != std::to_string(publication.version)
        || request.queryValue("generation") != publication.generatedAt.toStdString())
        return Reply::empty(409);
    const bool protectedForm = request.queryValue("catalogMode") == "protected";
    const auto& documents = protectedForm ? publication.protectedDocuments : publication.normal;
    if (what == "home") {
        QJsonObject home = documents.home;
        home.insert("version", publication.version);
        return jsonReply(home);
    }
    if (what != "tv" && what != "movies" && what != "series")
        return Reply::empty(404);
    return jsonReply({{"version", publication.version},
                      {"section", QString::fromStdString(what)},
                      {"items", sectionItems(documents, what)}});
}

} // namespace

FakeCorePlatform::FakeCorePlatform() : m_state(std::make_shared<State>())
{
    route("GET", "/api/brands/*", [state = m_state](const RecordedRequest& request) {
        std::string brand;
        std::string rest;
        if (!splitPath(request, "brands", brand, rest) || rest != "config")
            return Reply::empty(404);
        std::lock_guard lock(state->mutex);
        const auto found = state->configurations.find(brand);
        return found == state->configurations.end() ? Reply::empty(404) : jsonReply(found->second);
    });
    route("GET", "/api/catalog/*",
          [state = m_state](const RecordedRequest& request) { return catalogReply(*state, request); });
    route("POST", "/api/access/validate", [state = m_state](const RecordedRequest& request) {
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        if (body.isEmpty())
            return Reply::empty(400);
        std::lock_guard lock(state->mutex);
        const bool valid = state->codes.count(
            {body.value("brand").toString(), body.value("username").toString(), body.value("code").toString()});
        return jsonReply({{"valid", valid}});
    });
}

void FakeCorePlatform::setConfiguration(const std::string& brand, QJsonObject configuration)
{
    std::lock_guard lock(m_state->mutex);
    m_state->configurations[brand] = std::move(configuration);
}

void FakeCorePlatform::publish(const std::string& brand, Publication publication)
{
    std::lock_guard lock(m_state->mutex);
    m_state->publications[brand] = std::move(publication);
}

void FakeCorePlatform::acceptCode(const std::string& brand, const std::string& user, const std::string& code)
{
    std::lock_guard lock(m_state->mutex);
    m_state->codes.emplace(QString::fromStdString(brand), QString::fromStdString(user), QString::fromStdString(code));
}

} // namespace sendra::fakes
