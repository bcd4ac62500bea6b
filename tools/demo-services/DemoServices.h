#pragma once

#include "DemoCatalog.h"
#include "StreamRoutes.h"

#include "fakes/FakePlatform.h"
#include "fakes/FakePlaylistHost.h"
#include "fakes/FakeSpeedTest.h"
#include "fakes/FakeXtreamPanel.h"

#include "Domain/ProductBrand.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace sendra::demo {

struct DemoOptions
{
    int entries = 3000;
    int portBase = 8870; // the five services listen on portBase .. portBase + 4; 0 takes free ports
    quint64 seed = 1;
    bool anyOrigin = false; // the platform also accepts every other origin as a free source
};

// What a user types into the access screen.
struct DemoAccounts
{
    static constexpr const char* freeUser = "demo";
    static constexpr const char* freePassword = "s3cret";
    static constexpr const char* privateUser = "socio";
    static constexpr const char* privatePassword = "clave+2024"; // the "+" must reach the panel as a "+"
    static constexpr const char* accessCode = "2468";
    static constexpr const char* playlistPath = "/lists/demo.m3u";

    // The identifier of each product's private demo brand (typed in the server field).
    static QString privateIdentifier(DesktopProductBrand product);
};

// Every demo service on 127.0.0.1, built from the test fakes: the platform service (both endpoints), a free
// Xtream Codes panel, the private brand's panel, a playlist host and the speed-test service. They answer from
// their own threads until the object is destroyed.
class DemoServices
{
public:
    // Throws std::runtime_error when a port is taken or ffmpeg cannot make the clips.
    explicit DemoServices(const DemoOptions& options);
    ~DemoServices();

    QUrl platformBase() const;
    QUrl freePanel() const;
    QUrl privatePanel() const;
    QUrl playlist() const;
    QUrl speedTestBase() const;
    const DemoCatalog& catalog() const { return m_catalog; }

    // "NAME=value" for every environment variable the application reads to reach these services.
    QStringList environment() const;
    // The same for services on fixed ports from `portBase`, without starting them.
    static QStringList environmentFor(int portBase);
    // The text printed at start: what to type on the access screen and how to point the application here.
    QString instructions() const;

    // The fakes keep every request they answer; a long-running demo forgets them now and then.
    void forgetRequests();

private:
    void configurePlatform();

    DemoOptions m_options;
    std::unique_ptr<fakes::FakePlatform> m_platform;
    std::unique_ptr<fakes::FakeXtreamPanel> m_freePanel;
    std::unique_ptr<fakes::FakeXtreamPanel> m_privatePanel;
    std::unique_ptr<fakes::FakePlaylistHost> m_playlistHost;
    std::unique_ptr<fakes::FakeSpeedTest> m_speedTest;
    // The routes hold what they serve; these may go before the servers stop.
    DemoClips m_clips;
    DemoCatalog m_catalog;
};

} // namespace sendra::demo
