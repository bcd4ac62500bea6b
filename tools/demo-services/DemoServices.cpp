#include "DemoServices.h"

#include "DemoArtwork.h"

#include <QJsonObject>
#include <QUrl>

#include <stdexcept>
#include <utility>

namespace sendra::demo {

namespace {

using fakes::FakePlatform;

enum PortOffset { platformPort, freePanelPort, privatePanelPort, playlistPort, speedTestPort };

constexpr std::array<DesktopProductBrand, 2> products{DesktopProductBrand::orrinth, DesktopProductBrand::brimvale};

template<class Server, class... Arguments>
std::unique_ptr<Server> listening(int port, Arguments&&... arguments)
{
    try {
        const fakes::LoopbackServer::PortPin pin(port);
        return std::make_unique<Server>(std::forward<Arguments>(arguments)...);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("127.0.0.1:" + std::to_string(port)
                                 + " is in use (are the demo services already running? --port-base moves them)");
    }
}

int portFor(const DemoOptions& options, PortOffset offset)
{
    return options.portBase > 0 ? options.portBase + offset : 0;
}

QString origin(const fakes::LoopbackServer& server)
{
    return server.baseUrl().toString();
}

QStringList environmentOf(const QUrl& platform, const QUrl& speedTest)
{
    return {"SENDRA_PLATFORM_ACCESS_BASE=" + platform.toString(),
            "SENDRA_PLATFORM_CATALOG_BASE=" + platform.toString(),
            "SENDRA_SPEEDTEST_BASE=" + speedTest.toString()};
}

} // namespace

QString DemoAccounts::privateIdentifier(DesktopProductBrand product)
{
    return ProductBrand::identifierValue(product) + QStringLiteral("-demo");
}

DemoServices::DemoServices(const DemoOptions& options)
    : m_options(options)
    // The ports first: a taken one is reported before a big catalogue is generated.
    , m_platform(listening<FakePlatform>(portFor(options, platformPort)))
    , m_freePanel(listening<fakes::FakeXtreamPanel>(portFor(options, freePanelPort), DemoAccounts::freeUser,
                                                    DemoAccounts::freePassword))
    , m_privatePanel(listening<fakes::FakeXtreamPanel>(portFor(options, privatePanelPort), DemoAccounts::privateUser,
                                                       DemoAccounts::privatePassword))
    , m_playlistHost(listening<fakes::FakePlaylistHost>(portFor(options, playlistPort)))
    , m_speedTest(listening<fakes::FakeSpeedTest>(portFor(options, speedTestPort)))
    , m_clips(DemoClips::make())
    // Absolute artwork addresses name the playlist host; relative ones reach the host of their document.
    , m_catalog(options.entries, options.seed, m_playlistHost->baseUrl())
{
    for (fakes::LoopbackServer* server : std::initializer_list<fakes::LoopbackServer*>{
             m_platform.get(), m_freePanel.get(), m_privatePanel.get(), m_playlistHost.get()})
        routeArtwork(*server);
    m_catalog.serve(*m_freePanel);
    m_catalog.serve(*m_privatePanel);
    routeStreams(*m_freePanel, m_clips, Account{DemoAccounts::freeUser, DemoAccounts::freePassword});
    routeStreams(*m_privatePanel, m_clips, Account{DemoAccounts::privateUser, DemoAccounts::privatePassword});
    // A playlist's stream addresses are plain files on its host: no account in the path to check.
    m_playlistHost->publish(DemoAccounts::playlistPath, m_catalog.playlist(m_playlistHost->baseUrl()).toStdString());
    routeStreams(*m_playlistHost, m_clips, std::nullopt);
    configurePlatform();
}

DemoServices::~DemoServices() = default;

void DemoServices::configurePlatform()
{
    using Server = FakePlatform::Server;
    const QString freeOrigin = origin(*m_freePanel);
    const QString privateOrigin = origin(*m_privatePanel);
    m_platform->setOriginAnswer(freeOrigin.toStdString(), FakePlatform::freeAnswer({Server{freeOrigin, 1}}));
    m_platform->setOriginAnswer(origin(*m_playlistHost).toStdString(), FakePlatform::freeAnswer());
    if (m_options.anyOrigin)
        m_platform->setDefaultOriginAnswer(FakePlatform::freeAnswer());

    // Tried in this order: a retired server that is never contacted, the free panel (which refuses the private
    // account) and the private panel, which has the prepared catalogue.
    // The private panel's server also keeps a category with an innocent name from the protected view.
    const QStringList blocked = m_catalog.privateBlockedCategories();
    const QList<Server> servers{Server{"http://retired.demo.invalid", 1, false}, Server{freeOrigin, 2},
                                Server{privateOrigin, 3, true, std::nullopt, blocked}};
    const FakePlatform::Build build = m_catalog.preparedBuild(blocked);
    for (const DesktopProductBrand product : products) {
        const BrandPresentation presentation = ProductBrand::presentation(product);
        const QString identifier = DemoAccounts::privateIdentifier(product);
        QJsonObject answer = FakePlatform::privateAnswer(presentation.slug, identifier, servers);
        QJsonObject brand = answer.value("brand").toObject();
        const QString name = presentation.name + " Demo";
        const QString title = QString::fromLatin1(QUrl::toPercentEncoding(name));
        brand.insert("name", name);
        // The logo on the playlist host, the isotype relative to the platform's answer.
        brand.insert("logoURL", QStringLiteral("%1/art/brand/%2.png?t=%3")
                                    .arg(m_playlistHost->baseUrl().toString(), presentation.slug, title));
        brand.insert("isotypeURL", QStringLiteral("/art/isotype/%1.png?t=%2").arg(presentation.slug, title));
        brand.insert("primaryColor", "#1f8a70");
        brand.insert("secondaryColor", "#0b4f6c");
        answer.insert("brand", brand);
        answer.insert("catalogBrand", presentation.slug);
        m_platform->setIdentifierAnswer(identifier.toStdString(), answer);
        m_platform->acceptCode(presentation.slug.toStdString(), DemoAccounts::privateUser, DemoAccounts::accessCode);
        m_platform->publish(presentation.slug.toStdString(), 3, privateOrigin.toStdString(), build);
    }
}

QUrl DemoServices::platformBase() const
{
    return m_platform->baseUrl();
}

QUrl DemoServices::freePanel() const
{
    return m_freePanel->baseUrl();
}

QUrl DemoServices::privatePanel() const
{
    return m_privatePanel->baseUrl();
}

QUrl DemoServices::playlist() const
{
    return m_playlistHost->url(DemoAccounts::playlistPath);
}

QUrl DemoServices::speedTestBase() const
{
    return m_speedTest->baseUrl();
}

QStringList DemoServices::environment() const
{
    return environmentOf(platformBase(), speedTestBase());
}

QStringList DemoServices::environmentFor(int portBase)
{
    const auto loopback = [portBase](PortOffset offset) {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(portBase + offset));
    };
    return environmentOf(loopback(platformPort), loopback(speedTestPort));
}

QString DemoServices::instructions() const
{
    using testkit::PanelKind;
    const auto field = [](const QString& label, const QString& value) {
        return QStringLiteral("  %1 %2\n").arg(label, -12).arg(value);
    };
    QString text = QStringLiteral("Sendra demo services on 127.0.0.1: %1 entries (%2 live, %3 films, %4 series), "
                                  "seed %5. Ctrl-C stops them.\n\n")
                       .arg(m_catalog.total())
                       .arg(m_catalog.count(PanelKind::Live))
                       .arg(m_catalog.count(PanelKind::Vod))
                       .arg(m_catalog.count(PanelKind::Series))
                       .arg(m_options.seed);
    text += QStringLiteral("Point the application at them (in the shell that starts it):\n");
    for (const QString& variable : environment())
        text += QStringLiteral("  export %1\n").arg(variable);

    text += QStringLiteral("\nXtream Codes panel (free):\n") + field("Server", freePanel().toString())
            + field("User", DemoAccounts::freeUser) + field("Password", DemoAccounts::freePassword);
    text += QStringLiteral("\nM3U playlist (free):\n") + field("Address", playlist().toString());

    QStringList identifiers;
    for (const DesktopProductBrand product : products)
        identifiers << QStringLiteral("%1 (%2)").arg(DemoAccounts::privateIdentifier(product),
                                                     ProductBrand::presentation(product).name);
    text += QStringLiteral("\nPrivate brand (Xtream Codes; the identifier goes in the server field):\n")
            + field("Identifier", identifiers.join(" or ")) + field("User", DemoAccounts::privateUser)
            + field("Password", DemoAccounts::privatePassword) + field("Access code", DemoAccounts::accessCode);
    text += QStringLiteral("  Its servers, in order: a retired one (disabled), the free panel (refuses this account) "
                           "and %1 (accepts it; prepared catalogue with a home feed).\n")
                .arg(privatePanel().toString());

    text += QStringLiteral("\nEvery /live, /movie and /series address of the panels and the playlist plays a short "
                           "ffmpeg clip.\nSpeed test: %1/__down?bytes=N and %1/__up.\n")
                .arg(speedTestBase().toString());
    if (m_options.anyOrigin)
        text += QStringLiteral("Any other server or playlist address is accepted as a free source.\n");
    return text;
}

void DemoServices::forgetRequests()
{
    for (fakes::LoopbackServer* server : std::initializer_list<fakes::LoopbackServer*>{
             m_platform.get(), m_freePanel.get(), m_privatePanel.get(), m_playlistHost.get(), m_speedTest.get()})
        server->clearRequests();
}

} // namespace sendra::demo
