#include "TestDeck.h"

#include "Domain/ProductBrand.h"
#include "NetKit/HttpSession.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamTransport.h"
#include "State/NetworkCheck.h"

#include <qcoro/qcorotask.h>

namespace sendra::testing {

using namespace std::chrono_literals;
using fakes::RecordedRequest;
using fakes::Reply;

void serveSmallCatalogue(fakes::FakeXtreamPanel& panel, SmallCatalogue shape)
{
    panel.answer("get_live_categories", Reply::json(R"([{"category_id":"1","category_name":"Noticias"}])"));
    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"Canal Uno","category_id":"1"},
        {"stream_id":2,"name":"Canal Dos","category_id":"1"}])"));
    const std::string adultCategory = shape.adultFilm ? R"(,{"category_id":"6","category_name":"Adultos"})" : "";
    const std::string adultFilm =
        shape.adultFilm ? R"(,{"stream_id":12,"name":"Noche XXX","category_id":"6","container_extension":"mp4"})" : "";
    panel.answer("get_vod_categories",
                 Reply::json(R"([{"category_id":"5","category_name":"Acción"})" + adultCategory + "]"));
    panel.answer("get_vod_streams", Reply::json(R"([
        {"stream_id":10,"name":"Película A","category_id":"5","container_extension":"mkv"},
        {"stream_id":11,"name":"Película B","category_id":"5","container_extension":"mp4"},
        {"stream_id":1,"name":"Película Uno","category_id":"5","container_extension":"mp4"})" +
                                                adultFilm + "]"));
    panel.answer("get_series_categories", Reply::json(R"([{"category_id":"7","category_name":"Drama"}])"));
    panel.answer("get_series", Reply::json(R"([{"series_id":20,"name":"Serie Larga","category_id":"7"}])"));
    panel.answer("get_vod_info", [](const RecordedRequest& request) {
        const std::string id = request.queryValue("vod_id").value_or("");
        return Reply::json(R"({"info":{"plot":"Trama )" + id + R"(","genre":"Acción"},"movie_data":{"stream_id":)" +
                           id + "}}");
    });
    const std::string episode = R"({"id":"%1","episode_num":%2,"container_extension":"mkv"})";
    const auto numbered = [&](int id, int number) {
        return QString::fromStdString(episode).arg(id).arg(number).toStdString();
    };
    const std::string pilot = R"({"id":"201","episode_num":1,"title":"Piloto","container_extension":"mkv"})";
    const std::string seasons =
        shape.longSeries ? R"("1":[)" + pilot + "," + numbered(202, 2) + "," + numbered(203, 3) + R"(],"2":[)" +
                               numbered(204, 1) + "," + numbered(205, 2) + "]"
                         : R"("1":[)" + pilot + "," + numbered(202, 2) + R"(],"2":[)" + numbered(204, 1) + "]";
    panel.answer("get_series_info", Reply::json(R"({"info":{"plot":"Una serie"},"episodes":{)" + seasons + "}}"));
}

TestVault::TestVault()
{
    Q_ASSERT(folder.isValid());
}

std::unique_ptr<CommandVault> TestVault::newVault() const
{
    return std::make_unique<CommandVault>(ProductBrand::storageNamespace(ProductBrand::current()), settingsFile(),
                                          secrets);
}

std::unique_ptr<CommandVault> TestVault::loadVault() const
{
    auto vault = newVault();
    QCoro::waitFor(vault->load());
    return vault;
}

CommandVault& TestVault::openVault()
{
    vaults.push_back(loadVault());
    return *vaults.back();
}

TestDeck::TestDeck(std::optional<SmallCatalogue> catalogue)
{
    if (catalogue)
        serveSmallCatalogue(panel, *catalogue);
}

TestDeck::~TestDeck()
{
    panel.release();
    platform.release();
}

PanelTimeouts TestDeck::shortTimeouts()
{
    return {2s, 2s, 2s, 2s, 2s};
}

CommandDeck::Clients TestDeck::clients(QNetworkAccessManager* manager, const PanelTimeouts& timeouts,
                                       const QUrl& networkCheck) const
{
    const netkit::HttpSession session(manager);
    CommandDeck::Clients made{std::make_shared<const PanelAccess>(
                                  session, PlatformEndpoints{platform.baseUrl(), platform.baseUrl()}, timeouts),
                              std::make_shared<const XtreamTransport>(session),
                              std::make_shared<const PlaylistIngestor>(session)};
    if (networkCheck.isValid())
        made.networkCheck = std::make_shared<const NetworkCheck>(session, networkCheck);
    return made;
}

std::unique_ptr<CommandDeck> TestDeck::makeDeck(CommandVault& vault, QNetworkAccessManager* manager,
                                                const PanelTimeouts& timeouts)
{
    return std::make_unique<CommandDeck>(vault, clients(manager, timeouts));
}

SourceDraft TestDeck::panelDraft() const
{
    SourceDraft draft;
    draft.server = panelOrigin();
    draft.user = QStringLiteral("demo");
    draft.password = QStringLiteral("s3cret");
    return draft;
}

MediaNode film(int id, const QString& title, const QString& group, const QString& groupName)
{
    MediaNode node;
    node.id = QString::number(id);
    node.title = title;
    node.kind = SignalKind::cinema;
    node.groupID = group;
    node.groupName = groupName;
    node.fileSuffix = QStringLiteral("mp4");
    node.directURL = QUrl(QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(id));
    return node;
}

} // namespace sendra::testing
